#include "EventSink.h"

#include <memory>
#include <string>

#include "Logging.h"
#include "Velmora_TLB.h"

TComPtr<TEventSink> TEventSink::Create() {
    return TComPtr<TEventSink>::Adopt(new TEventSink);
}

HRESULT TEventSink::QueryInterface(const TGuid& iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IVelmoraEvents) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t TEventSink::AddRef() {
    return refs_.Add();
}

uint32_t TEventSink::Release() {
    return refs_.ReleaseOwner(this);
}

HRESULT TEventSink::GetIDsOfNames(const char16_t* name, DISPID* id) {
    return DispatchGetIDOfName(IVelmoraEventsDesc, name, id);
}

HRESULT TEventSink::Invoke(DISPID id, uint16_t flags, TDispParams* params, TVariant* result,
                           TExcepInfo* excep) {
    return DispatchInvoke(IVelmoraEventsDesc, *this, id, flags, params, result, excep);
}

HRESULT TEventSink::GetProperty(const TMemberDesc&, TVariant&) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT TEventSink::PutProperty(const TMemberDesc&, const TVariant&, bool) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT TEventSink::CallMethod(const TMemberDesc& member, std::span<TVariant> args) {
    std::string line = std::string("corvalen: event ") + member.name;
    // The key goes back as it came.
    if (member.id == VelmoraEventId::OnKeyPress && !args.empty() && args[0].AsI2Ref())
        line += " " + std::to_string(*args[0].AsI2Ref());
    DebugOut(line);
    return S_OK;
}
