// The control's module as a container sees it: found through the class's
// registration or beside the program, loaded, and asked for new controls
// through its class factory. No Qt. User-interface thread.
#pragma once

#include <string>

#include "Component.h"
#include "ModuleLoader.h"

// The file name the control module has beside the program.
inline constexpr const char* kControlModuleName = "Velmora.so";

// Where the module of a class is: the path its registration names, else
// kControlModuleName in programFolder.
std::string ControlModulePath(const TGuid& clsid, const std::string& programFolder);
// The folder of the running program, ending in '/'.
std::string ProgramFolder();

class TControlModule {
public:
    TControlModule() = default;
    ~TControlModule();
    TControlModule(const TControlModule&) = delete;
    TControlModule& operator=(const TControlModule&) = delete;

    // Loads the module of the class (see ControlModulePath) and binds its
    // entry points. Empty on success, else the reason; a second call while
    // loaded does nothing.
    std::string Load(const TGuid& clsid);
    bool Loaded() const { return module_ != nullptr; }
    const std::string& Path() const { return path_; }

    // A new object of the class through the module's class factory, asked
    // for iid; the reference is the caller's.
    HRESULT CreateObject(const TGuid& clsid, const TGuid& iid, void** out);
    // Lets the module go when it says that nothing of it is in use (its code
    // stays mapped; a module is never unmapped). True when it went.
    bool ReleaseIfUnused();

private:
    TModuleHandle module_ = nullptr;
    std::string path_;
    using TGetClassObject = HRESULT (*)(const TGuid*, const TGuid*, void**);
    using TCanUnloadNow = HRESULT (*)();
    TGetClassObject getClassObject_ = nullptr;
    TCanUnloadNow canUnloadNow_ = nullptr;
};
