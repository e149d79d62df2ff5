// The server side of a module that serves a component: its one class
// factory, the count of its live objects and of the locks its clients hold
// (together they answer DllCanUnloadNow), and the registration of its class.
// Each module that links this layer has a server of its own. User-interface
// thread (the container's), as the apartment model has it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ComponentDispatch.h"

// What a class's registration holds besides the module's path.
struct TClassInfo {
    TGuid clsid;
    std::string className;   // the class key's default value
    std::string progId;      // "Library.Class"
    std::string description; // the ProgID key's default value
    std::string threadingModel = "Apartment";
    uint32_t miscStatus = 0;
    int toolboxBitmap = 1; // resource number in the module
    const TTypeLibDesc* typeLib = nullptr;
};

// Makes one object answering iid; the reference it hands out is the caller's.
using TCreateInstanceFn = HRESULT (*)(const TGuid& iid, void** out);

// The class factory of a module's one class. The server owns it: its
// references are only counted, so that DllCanUnloadNow says no while a
// client still holds it.
class TComObjectFactory final : public IClassFactory {
public:
    TComObjectFactory(TClassInfo info, TCreateInstanceFn create);
    ~TComObjectFactory() = default;
    TComObjectFactory(const TComObjectFactory&) = delete;
    TComObjectFactory& operator=(const TComObjectFactory&) = delete;

    HRESULT QueryInterface(const TGuid& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT CreateInstance(IUnknown* outer, const TGuid& iid, void** out) override;
    HRESULT LockServer(int32_t lock) override;

    const TClassInfo& Info() const { return info_; }
    uint32_t ClientReferences() const { return refs_; }

private:
    TClassInfo info_;
    TCreateInstanceFn create_;
    std::atomic<uint32_t> refs_{0};
};

class TComServer {
public:
    // This module's server.
    static TComServer& Instance();

    // Registers the class factory; a second call is ignored, so that module
    // initialisation may run it on every entry.
    void RegisterFactory(TClassInfo info, TCreateInstanceFn create);
    TComObjectFactory* Factory() const { return factory_.get(); }

    void ObjectCreated() { ++objects_; }
    void ObjectDestroyed() { --objects_; }
    void Lock(bool lock);
    uint32_t ObjectCount() const { return objects_; }
    uint32_t LockCount() const { return locks_; }

    // The bodies of the exported entry points; they never throw.
    HRESULT GetClassObject(const TGuid* clsid, const TGuid* iid, void** out);
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer(const std::string& modulePath);
    HRESULT UnregisterServer();

private:
    std::unique_ptr<TComObjectFactory> factory_;
    std::atomic<uint32_t> objects_{0};
    std::atomic<uint32_t> locks_{0};
};

// A member of every object a module hands out: counts it as live from its
// construction to its destruction.
class TObjectCount {
public:
    TObjectCount() { TComServer::Instance().ObjectCreated(); }
    ~TObjectCount() { TComServer::Instance().ObjectDestroyed(); }
    TObjectCount(const TObjectCount&) = delete;
    TObjectCount& operator=(const TObjectCount&) = delete;
};

// The entry points a component module exports, looked up by these names.
using TDllGetClassObjectFn = HRESULT (*)(const TGuid* clsid, const TGuid* iid, void** out);
using TDllCanUnloadNowFn = HRESULT (*)();
using TDllRegisterServerFn = HRESULT (*)();
using TDllUnregisterServerFn = HRESULT (*)();
inline constexpr const char* kDllGetClassObject = "DllGetClassObject";
inline constexpr const char* kDllCanUnloadNow = "DllCanUnloadNow";
inline constexpr const char* kDllRegisterServer = "DllRegisterServer";
inline constexpr const char* kDllUnregisterServer = "DllUnregisterServer";
