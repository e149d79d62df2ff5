// A class's registration under HKEY_CURRENT_USER\Software\Classes in the
// registry stand-in: the class key with its module and threading model,
// ProgID, type library, version, MiscStatus, toolbox bitmap and the control
// mark; the ProgID key; the type library's key and its interfaces' keys.
// Registering twice gives the same hive; unregistering removes what
// registering wrote, and the parent keys it left empty.
#pragma once

#include <string>

#include "ComponentServer.h"

inline constexpr const char* kClassesKey = "\\Software\\Classes";

// Raises ERegistryException when the hive cannot be written.
void WriteClassRegistration(const TClassInfo& info, const std::string& modulePath);
// A ProgID or interface key that now names another class or library is
// left alone.
void RemoveClassRegistration(const TClassInfo& info);

// The module path registered for a class; empty when it is not registered.
std::string RegisteredModulePath(const TGuid& clsid);
