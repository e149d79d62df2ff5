// Loading modules (shared libraries) at run time, as the system expects of it:
// a path finds its file in its folder without regard to case, a name written
// with ".dll" means the same name with ".so", a bare name is looked for in the
// program's folder (without regard to case) and then through the system's
// library search, and a loaded module is never unmapped, since its threads
// may still run.
#pragma once

#include <string>

using TModuleHandle = void*;

// Loads by path (a name holding '/') or by bare name. Null on failure, with
// the loader's error text in *error when given.
TModuleHandle LoadModule(const std::string& nameOrPath, std::string* error = nullptr);
// Null when the module does not export the name.
void* ModuleSymbol(TModuleHandle module, const char* name);
// Drops the caller's reference; the code stays mapped.
void UnloadModule(TModuleHandle module);
// The full file name of the module that holds the address; empty when unknown.
std::string ModuleFileOf(const void* address);
// The folder of the module that holds the address, ending in '/'; empty when unknown.
std::string ModuleFolderOf(const void* address);
// The folder part of a path, ending in '/' ("" for a bare name).
std::string FolderOf(const std::string& path);
// Folder and file name joined by exactly one '/'.
std::string JoinPath(const std::string& folder, const std::string& name);
