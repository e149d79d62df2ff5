// What the tests of the control module share: the module loaded the way a
// container loads it (dlopen and the entry points by name), a registry of
// the test's own, a recording event sink, and a dump of the user's hive.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ComponentControl.h"
#include "ComponentRegistration.h"
#include "ComponentServer.h"
#include "Registry.h"
#include "Velmora_TLB.h"
#include "support/TempDir.h"

inline const std::string kVelmoraPath = std::string(CORVALEN_BIN_DIR) + "/Velmora.so";

struct TVelmoraModule {
    void* handle = nullptr;
    TDllGetClassObjectFn GetClassObject = nullptr;
    TDllCanUnloadNowFn CanUnloadNow = nullptr;
    TDllRegisterServerFn RegisterServer = nullptr;
    TDllUnregisterServerFn UnregisterServer = nullptr;

    TVelmoraModule() {
        handle = dlopen(kVelmoraPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!handle) throw std::runtime_error(dlerror());
        Bind(GetClassObject, kDllGetClassObject);
        Bind(CanUnloadNow, kDllCanUnloadNow);
        Bind(RegisterServer, kDllRegisterServer);
        Bind(UnregisterServer, kDllUnregisterServer);
    }
    ~TVelmoraModule() { dlclose(handle); }
    TVelmoraModule(const TVelmoraModule&) = delete;
    TVelmoraModule& operator=(const TVelmoraModule&) = delete;

    TComPtr<IClassFactory> Factory() const {
        TComPtr<IClassFactory> factory;
        EXPECT_EQ(GetClassObject(&CLASS_Velmora, &IID_IClassFactory, factory.Put()), S_OK);
        return factory;
    }
    // A new control as its IVelmora.
    TComPtr<IVelmora> Create() const {
        TComPtr<IVelmora> control;
        EXPECT_EQ(Factory()->CreateInstance(nullptr, IID_IVelmora, control.Put()), S_OK);
        return control;
    }

private:
    template <typename F> void Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(dlsym(handle, name));
        if (!f) throw std::runtime_error(std::string("missing export ") + name);
    }
};

// Every test runs on a registry of its own.
class TRegistryFixture : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }
    void TearDown() override { unsetenv("CORVALEN_REGISTRY_DIR"); }
    TTempDir dir_;
};

// Every key and value under a key of the user's hive, one line each, in the
// hive's order.
inline void DumpKey(TRegistry& reg, const std::string& path, std::vector<std::string>& out) {
    if (!reg.OpenKeyReadOnly(path)) return;
    out.push_back("[" + path + "]");
    for (const std::string& name : reg.GetValueNames()) {
        const TRegDataType type = reg.GetDataType(name);
        std::string value = type == TRegDataType::String    ? reg.ReadString(name)
                            : type == TRegDataType::Integer ? std::to_string(reg.ReadInteger(name))
                                                            : "?";
        out.push_back("\"" + name + "\"=" + value);
    }
    const std::vector<std::string> subkeys = reg.GetKeyNames();
    for (const std::string& sub : subkeys)
        DumpKey(reg, path + "\\" + sub, out);
}

inline std::vector<std::string> DumpUserHive() {
    TRegistry reg(TRootKey::CurrentUser);
    std::vector<std::string> out;
    if (!reg.OpenKeyReadOnly("\\")) return out;
    for (const std::string& top : reg.GetKeyNames())
        DumpKey(reg, "\\" + top, out);
    return out;
}

// A container's event sink that records the events by DISPID and answers
// OnKeyPress with a key of the test's choice.
class TRecordingSink final : public IDispatch {
public:
    static TComPtr<TRecordingSink> Create() {
        return TComPtr<TRecordingSink>::Adopt(new TRecordingSink);
    }

    std::vector<DISPID> events;
    std::vector<int16_t> keysSeen;
    std::function<int16_t(int16_t)> answerKey; // unset: the key goes back as it came
    std::function<void(DISPID)> onEvent;

    HRESULT QueryInterface(const TGuid& iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IVelmoraEvents) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.Add(); }
    uint32_t Release() override { return refs_.ReleaseOwner(this); }
    uint32_t Count() const { return refs_.Count(); }
    HRESULT GetIDsOfNames(const char16_t*, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, uint16_t flags, TDispParams* params, TVariant*,
                   TExcepInfo*) override {
        EXPECT_EQ(flags, DISPATCH_METHOD);
        events.push_back(id);
        if (id == VelmoraEventId::OnKeyPress) {
            EXPECT_EQ(params->count, 1u);
            int16_t* key = params->args[0].AsI2Ref();
            EXPECT_NE(key, nullptr);
            keysSeen.push_back(*key);
            if (answerKey) *key = answerKey(*key);
        }
        if (onEvent) onEvent(id);
        return S_OK;
    }
    int CountOf(DISPID id) const {
        return static_cast<int>(std::count(events.begin(), events.end(), id));
    }

private:
    friend struct std::default_delete<TRecordingSink>;
    TRecordingSink() = default;
    ~TRecordingSink() = default;
    TRefCount refs_;
};
