// The container's sink for the control's events. It writes each event to
// standard error when PL_DEBUG_OUTPUT=1 and lets every key through as it
// came. No Qt. User-interface thread.
#pragma once

#include <memory>

#include "ComponentDispatch.h"

class TEventSink final : public IDispatch, private TDispatchTarget {
public:
    // A new sink; the reference is the caller's.
    static TComPtr<TEventSink> Create();

    HRESULT QueryInterface(const TGuid& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) override;
    HRESULT Invoke(DISPID id, uint16_t flags, TDispParams* params, TVariant* result,
                   TExcepInfo* excep) override;

private:
    friend struct std::default_delete<TEventSink>;
    TEventSink() = default;
    ~TEventSink() = default;

    HRESULT GetProperty(const TMemberDesc& member, TVariant& value) override;
    HRESULT PutProperty(const TMemberDesc& member, const TVariant& value, bool byRef) override;
    HRESULT CallMethod(const TMemberDesc& member, std::span<TVariant> args) override;

    TRefCount refs_;
};
