#include "ComponentServer.h"

#include "ComponentRegistration.h"

TComObjectFactory::TComObjectFactory(TClassInfo info, TCreateInstanceFn create)
    : info_(std::move(info)), create_(create) {}

HRESULT TComObjectFactory::QueryInterface(const TGuid& iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t TComObjectFactory::AddRef() {
    return ++refs_;
}

uint32_t TComObjectFactory::Release() {
    // A client that releases more than it holds must not wrap the count
    // round and keep the module loaded for ever.
    uint32_t now = refs_;
    while (now > 0 && !refs_.compare_exchange_weak(now, now - 1)) {}
    return now > 0 ? now - 1 : 0;
}

HRESULT TComObjectFactory::CreateInstance(IUnknown* outer, const TGuid& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!create_) return E_UNEXPECTED;
    return SafeCall([&] { return create_(iid, out); });
}

HRESULT TComObjectFactory::LockServer(int32_t lock) {
    TComServer::Instance().Lock(lock != 0);
    return S_OK;
}

TComServer& TComServer::Instance() {
    static TComServer server;
    return server;
}

void TComServer::RegisterFactory(TClassInfo info, TCreateInstanceFn create) {
    if (!factory_) factory_ = std::make_unique<TComObjectFactory>(std::move(info), create);
}

void TComServer::Lock(bool lock) {
    if (lock) {
        ++locks_;
        return;
    }
    // An unlock without a lock is ignored rather than wrapping the count.
    uint32_t now = locks_;
    while (now > 0 && !locks_.compare_exchange_weak(now, now - 1)) {}
}

HRESULT TComServer::GetClassObject(const TGuid* clsid, const TGuid* iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!clsid || !iid) return E_INVALIDARG;
    if (!factory_ || !(*clsid == factory_->Info().clsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory_->QueryInterface(*iid, out);
}

HRESULT TComServer::CanUnloadNow() const {
    const bool inUse = objects_ > 0 || locks_ > 0 || (factory_ && factory_->ClientReferences() > 0);
    return inUse ? S_FALSE : S_OK;
}

HRESULT TComServer::RegisterServer(const std::string& modulePath) {
    if (!factory_) return E_UNEXPECTED;
    if (modulePath.empty()) return SELFREG_E_CLASS;
    const HRESULT hr = SafeCall([&] {
        WriteClassRegistration(factory_->Info(), modulePath);
        return S_OK;
    });
    if (Succeeded(hr)) return S_OK;
    // Half a registration would point containers at a class they cannot
    // create; take back what was written.
    SafeCall([&] {
        RemoveClassRegistration(factory_->Info());
        return S_OK;
    });
    return SELFREG_E_CLASS;
}

HRESULT TComServer::UnregisterServer() {
    if (!factory_) return E_UNEXPECTED;
    const HRESULT hr = SafeCall([&] {
        RemoveClassRegistration(factory_->Info());
        return S_OK;
    });
    return Succeeded(hr) ? S_OK : SELFREG_E_CLASS;
}
