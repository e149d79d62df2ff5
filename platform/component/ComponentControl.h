// The interfaces a container uses on an embeddable control besides its
// automation interface: connecting an event sink (the stand-in for
// connection points), embedding the control's window in one of its own (the
// stand-in for in-place activation), telling it that the frame window was
// activated, and the font object its Font property hands out. A window passes
// through here as an opaque pointer (a QWidget* on both sides), so this layer
// needs no Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ComponentDispatch.h"

// Where a control's events come from. One sink at a time: it is asked for
// the control's event interface, and every event reaches it through Invoke.
class IEventSource : public IUnknown {
public:
    // CONNECT_E_CANNOTCONNECT when the sink lacks the event interface,
    // CONNECT_E_ADVISELIMIT while another sink is connected.
    virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
    // CONNECT_E_NOCONNECTION for a cookie that Advise did not give.
    virtual HRESULT Unadvise(uint32_t cookie) = 0;

protected:
    ~IEventSource() = default;
};

// Puts a control's window inside a container's window.
class IEmbedding : public IUnknown {
public:
    // parent is the container's QWidget*. The control's window becomes its
    // child, shown as the control's Visible property says; the container
    // places it (a layout). If the parent is destroyed first, the control
    // takes its window back rather than lose it.
    virtual HRESULT Attach(void* parent) = 0;
    // Takes the window out of the container again, hidden. S_FALSE when it
    // was not attached.
    virtual HRESULT Detach() = 0;
    // The control's QWidget*. It stays the control's: a container never
    // deletes it.
    virtual HRESULT GetWindow(void** widget) = 0;

protected:
    ~IEmbedding() = default;
};

// The container tells an active control that its frame window was
// activated or deactivated.
class IInPlaceActiveObject : public IUnknown {
public:
    virtual HRESULT OnFrameWindowActivate(int32_t activate) = 0;

protected:
    ~IInPlaceActiveObject() = default;
};

// A font as the automation interfaces see it. Size is in points.
struct TFontDesc {
    std::u16string Name;
    int32_t Size = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;

    friend bool operator==(const TFontDesc&, const TFontDesc&) = default;
};

class IFontDisp : public IUnknown {
public:
    virtual HRESULT get_Name(std::u16string* value) = 0;
    virtual HRESULT put_Name(const std::u16string& value) = 0;
    virtual HRESULT get_Size(int32_t* value) = 0;
    virtual HRESULT put_Size(int32_t value) = 0; // E_INVALIDARG unless 1 to 1638
    virtual HRESULT get_Bold(WordBool* value) = 0;
    virtual HRESULT put_Bold(WordBool value) = 0;
    virtual HRESULT get_Italic(WordBool* value) = 0;
    virtual HRESULT put_Italic(WordBool value) = 0;
    virtual HRESULT get_Underline(WordBool* value) = 0;
    virtual HRESULT put_Underline(WordBool value) = 0;
    virtual HRESULT get_Strikethrough(WordBool* value) = 0;
    virtual HRESULT put_Strikethrough(WordBool value) = 0;

protected:
    ~IFontDisp() = default;
};

inline constexpr TGuid IID_IEventSource{
    0xC79F81B3, 0x1765, 0x4701, {0x9F, 0x72, 0x9F, 0xE9, 0xB9, 0x81, 0x4D, 0xAD}};
inline constexpr TGuid IID_IEmbedding{
    0x02DB5B4F, 0xFC8E, 0x4622, {0x9E, 0xC6, 0x2E, 0x16, 0x9C, 0x42, 0xA7, 0xC1}};
inline constexpr TGuid IID_IInPlaceActiveObject{
    0x6383B0B4, 0x61D2, 0x4615, {0xBB, 0x37, 0x5F, 0x8D, 0x4E, 0x22, 0xAA, 0x7E}};
inline constexpr TGuid IID_IFontDisp{
    0x96649782, 0x25AD, 0x46A8, {0xA1, 0x63, 0x89, 0x5A, 0xE0, 0xDD, 0x02, 0xDB}};

// The largest point size a font object takes; beyond it no renderer draws.
inline constexpr int32_t kMaxFontPoints = 1638;

// What a font object and the control it came from share: the font, and what
// the control does when it changes. The control clears Changed when it goes,
// so a font object that outlives it changes only itself.
struct TFontLink {
    TFontDesc font;
    std::function<void(const TFontDesc&)> Changed;
};

// A font object over a link (the control's own font), or over a font of its
// own when link is null.
TComPtr<IFontDisp> CreateFontObject(std::shared_ptr<TFontLink> link);
TComPtr<IFontDisp> CreateFontObject(const TFontDesc& font);
// Every property of a font object, E_POINTER for null.
HRESULT ReadFontObject(IFontDisp* font, TFontDesc& out);

// The connection point of a control: one sink, asked for the event interface
// when it connects. Events go to it by DISPID. User-interface thread.
class TEventConnection {
public:
    explicit TEventConnection(const TGuid& eventsIid) : eventsIid_(eventsIid) {}

    HRESULT Advise(IUnknown* sink, uint32_t* cookie);
    HRESULT Unadvise(uint32_t cookie);
    bool Connected() const { return static_cast<bool>(sink_); }
    // Calls the event on the sink; S_FALSE without a sink. The sink stays
    // alive through the call even if it disconnects inside it.
    HRESULT Fire(DISPID id, TVariant* args = nullptr, uint32_t count = 0);
    // Drops the sink (the control is going).
    void Clear();

private:
    TGuid eventsIid_;
    TComPtr<IDispatch> sink_;
    uint32_t cookie_ = 0;
    uint32_t lastCookie_ = 0;
};
