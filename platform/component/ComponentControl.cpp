#include "ComponentControl.h"

#include "ComponentServer.h"

namespace {

// A font object. Caller's thread.
class TFontObject final : public IFontDisp {
public:
    explicit TFontObject(std::shared_ptr<TFontLink> link) : link_(std::move(link)) {}

    HRESULT QueryInterface(const TGuid& iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IFontDisp) {
            *out = static_cast<IFontDisp*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.Add(); }
    uint32_t Release() override { return refs_.ReleaseOwner(this); }

    HRESULT get_Name(std::u16string* value) override { return Get(value, &TFontDesc::Name); }
    HRESULT put_Name(const std::u16string& value) override {
        return Change([&](TFontDesc& f) { f.Name = value; });
    }
    HRESULT get_Size(int32_t* value) override { return Get(value, &TFontDesc::Size); }
    HRESULT put_Size(int32_t value) override {
        if (value < 1 || value > kMaxFontPoints) return E_INVALIDARG;
        return Change([&](TFontDesc& f) { f.Size = value; });
    }
    HRESULT get_Bold(WordBool* value) override { return GetBool(value, &TFontDesc::Bold); }
    HRESULT put_Bold(WordBool value) override { return PutBool(value, &TFontDesc::Bold); }
    HRESULT get_Italic(WordBool* value) override { return GetBool(value, &TFontDesc::Italic); }
    HRESULT put_Italic(WordBool value) override { return PutBool(value, &TFontDesc::Italic); }
    HRESULT get_Underline(WordBool* value) override {
        return GetBool(value, &TFontDesc::Underline);
    }
    HRESULT put_Underline(WordBool value) override { return PutBool(value, &TFontDesc::Underline); }
    HRESULT get_Strikethrough(WordBool* value) override {
        return GetBool(value, &TFontDesc::Strikethrough);
    }
    HRESULT put_Strikethrough(WordBool value) override {
        return PutBool(value, &TFontDesc::Strikethrough);
    }

private:
    template <typename T> HRESULT Get(T* value, T TFontDesc::*field) {
        if (!value) return E_POINTER;
        return SafeCall([&] {
            *value = link_->font.*field;
            return S_OK;
        });
    }
    HRESULT GetBool(WordBool* value, bool TFontDesc::*field) {
        if (!value) return E_POINTER;
        *value = ToWordBool(link_->font.*field);
        return S_OK;
    }
    HRESULT PutBool(WordBool value, bool TFontDesc::*field) {
        return Change([&](TFontDesc& f) { f.*field = value != 0; });
    }
    // The control applies the change at once, as its own font changes.
    template <typename F> HRESULT Change(F&& edit) {
        return SafeCall([&] {
            edit(link_->font);
            if (link_->Changed) link_->Changed(link_->font);
            return S_OK;
        });
    }

    TObjectCount live_;
    TRefCount refs_;
    std::shared_ptr<TFontLink> link_;
};

} // namespace

TComPtr<IFontDisp> CreateFontObject(std::shared_ptr<TFontLink> link) {
    if (!link) link = std::make_shared<TFontLink>();
    // The new object's first reference goes to the caller.
    return TComPtr<IFontDisp>::Adopt(std::make_unique<TFontObject>(std::move(link)).release());
}

TComPtr<IFontDisp> CreateFontObject(const TFontDesc& font) {
    auto link = std::make_shared<TFontLink>();
    link->font = font;
    return CreateFontObject(std::move(link));
}

HRESULT ReadFontObject(IFontDisp* font, TFontDesc& out) {
    if (!font) return E_POINTER;
    TFontDesc read;
    WordBool bold = 0, italic = 0, underline = 0, strike = 0;
    for (HRESULT hr : {font->get_Name(&read.Name), font->get_Size(&read.Size),
                       font->get_Bold(&bold), font->get_Italic(&italic),
                       font->get_Underline(&underline), font->get_Strikethrough(&strike)}) {
        if (Failed(hr)) return hr;
    }
    read.Bold = bold != 0;
    read.Italic = italic != 0;
    read.Underline = underline != 0;
    read.Strikethrough = strike != 0;
    out = std::move(read);
    return S_OK;
}

HRESULT TEventConnection::Advise(IUnknown* sink, uint32_t* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    if (sink_) return CONNECT_E_ADVISELIMIT;
    // The event interface is a dispatch interface: what the sink hands out
    // for it is called through IDispatch.
    void* events = nullptr;
    if (Failed(sink->QueryInterface(eventsIid_, &events)) || !events)
        return CONNECT_E_CANNOTCONNECT;
    sink_ = TComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(events));
    cookie_ = ++lastCookie_;
    if (cookie_ == 0) cookie_ = ++lastCookie_; // 0 never names a connection
    *cookie = cookie_;
    return S_OK;
}

HRESULT TEventConnection::Unadvise(uint32_t cookie) {
    if (!sink_ || cookie == 0 || cookie != cookie_) return CONNECT_E_NOCONNECTION;
    cookie_ = 0;
    sink_.Reset();
    return S_OK;
}

HRESULT TEventConnection::Fire(DISPID id, TVariant* args, uint32_t count) {
    TComPtr<IDispatch> sink = sink_;
    if (!sink) return S_FALSE;
    TDispParams params{args, count};
    return sink->Invoke(id, DISPATCH_METHOD, &params, nullptr, nullptr);
}

void TEventConnection::Clear() {
    cookie_ = 0;
    sink_.Reset();
}
