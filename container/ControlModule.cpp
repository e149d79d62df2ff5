#include "ControlModule.h"

#include "ComponentRegistration.h"
#include "ComponentServer.h"

std::string ProgramFolder() {
    return ModuleFolderOf(reinterpret_cast<const void*>(&ProgramFolder));
}

std::string ControlModulePath(const TGuid& clsid, const std::string& programFolder) {
    std::string registered = RegisteredModulePath(clsid);
    if (!registered.empty()) return registered;
    return JoinPath(programFolder, kControlModuleName);
}

TControlModule::~TControlModule() {
    ReleaseIfUnused();
}

std::string TControlModule::Load(const TGuid& clsid) {
    if (module_) return {};
    const std::string path = ControlModulePath(clsid, ProgramFolder());
    std::string error;
    TModuleHandle module = LoadModule(path, &error);
    if (!module) return "Cannot load the control module " + path + ": " + error;
    auto getClassObject =
        reinterpret_cast<TGetClassObject>(ModuleSymbol(module, kDllGetClassObject));
    auto canUnloadNow = reinterpret_cast<TCanUnloadNow>(ModuleSymbol(module, kDllCanUnloadNow));
    if (!getClassObject || !canUnloadNow) {
        UnloadModule(module);
        return "The module " + path + " is not a control module";
    }
    module_ = module;
    path_ = path;
    getClassObject_ = getClassObject;
    canUnloadNow_ = canUnloadNow;
    return {};
}

HRESULT TControlModule::CreateObject(const TGuid& clsid, const TGuid& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!module_) return E_UNEXPECTED;
    TComPtr<IClassFactory> factory;
    if (HRESULT hr = getClassObject_(&clsid, &IID_IClassFactory, factory.Put()); Failed(hr))
        return hr;
    if (!factory) return E_UNEXPECTED;
    return factory->CreateInstance(nullptr, iid, out);
}

bool TControlModule::ReleaseIfUnused() {
    if (!module_ || canUnloadNow_() != S_OK) return false;
    UnloadModule(module_);
    module_ = nullptr;
    getClassObject_ = nullptr;
    canUnloadNow_ = nullptr;
    return true;
}
