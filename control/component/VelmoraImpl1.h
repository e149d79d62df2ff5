// TVelmora, the control a container embeds: an active form, that is a widget
// with the generic properties and events of a form behind the dual interface
// IVelmora, whose one piece of own work is to host the emulator form's panel.
// It creates its own emulator form, moves the form's panel into itself, and
// closes and frees that form when it goes. Its events reach the container's
// sink through IVelmoraEvents.
// User-interface thread (the container's): the apartment model admits no other.
#pragma once

#include <QFrame>
#include <QMetaObject>

#include <cstdint>
#include <memory>
#include <string>

#include "ComponentControl.h"
#include "ComponentServer.h"
#include "Velmora_TLB.h"

class TfEmulator;

class TVelmora final : public QFrame,
                       public IVelmora,
                       public IEventSource,
                       public IEmbedding,
                       public IInPlaceActiveObject {
public:
    // The class factory's maker: a new control answering iid, whose one
    // reference goes to the caller. E_UNEXPECTED without a QApplication or
    // off its thread, where no widget can be made.
    static HRESULT CreateInstance(const TGuid& iid, void** out);

    // IUnknown
    HRESULT QueryInterface(const TGuid& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // IDispatch
    HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) override;
    HRESULT Invoke(DISPID id, uint16_t flags, TDispParams* params, TVariant* result,
                   TExcepInfo* excep) override;

    // IVelmora. The panel fills the control through a layout, so there is
    // nothing to scroll or to size to, and Qt paints every widget through a
    // back buffer anyway: AutoScroll, AutoSize, Scaled, DoubleBuffered and the
    // other plain fields are kept for the container to read back.
    HRESULT Get_Visible(WordBool* Value) override { return SetOut(Value, ToWordBool(visible_)); }
    HRESULT Set_Visible(WordBool Value) override;
    HRESULT Get_AutoScroll(WordBool* Value) override {
        return SetOut(Value, ToWordBool(autoScroll_));
    }
    HRESULT Set_AutoScroll(WordBool Value) override { return Keep(autoScroll_, Value != 0); }
    HRESULT Get_AutoSize(WordBool* Value) override { return SetOut(Value, ToWordBool(autoSize_)); }
    HRESULT Set_AutoSize(WordBool Value) override { return Keep(autoSize_, Value != 0); }
    HRESULT Get_AxBorderStyle(TxActiveFormBorderStyle* Value) override {
        return SetOut(Value, axBorderStyle_);
    }
    HRESULT Set_AxBorderStyle(TxActiveFormBorderStyle Value) override;
    HRESULT Get_Caption(std::u16string* Value) override;
    HRESULT Set_Caption(const std::u16string& Value) override;
    HRESULT Get_Color(OLE_COLOR* Value) override { return SetOut(Value, color_); }
    HRESULT Set_Color(OLE_COLOR Value) override;
    HRESULT Get_Font(IFontDisp** Value) override;
    HRESULT Set_Font(IFontDisp* Value) override;
    HRESULT _Set_Font(IFontDisp* Value) override;
    HRESULT Get_KeyPreview(WordBool* Value) override {
        return SetOut(Value, ToWordBool(keyPreview_));
    }
    HRESULT Set_KeyPreview(WordBool Value) override;
    HRESULT Get_PixelsPerInch(int32_t* Value) override { return SetOut(Value, pixelsPerInch_); }
    HRESULT Set_PixelsPerInch(int32_t Value) override { return Keep(pixelsPerInch_, Value); }
    HRESULT Get_PrintScale(TxPrintScale* Value) override { return SetOut(Value, printScale_); }
    HRESULT Set_PrintScale(TxPrintScale Value) override;
    HRESULT Get_Scaled(WordBool* Value) override { return SetOut(Value, ToWordBool(scaled_)); }
    HRESULT Set_Scaled(WordBool Value) override { return Keep(scaled_, Value != 0); }
    HRESULT Get_Active(WordBool* Value) override { return SetOut(Value, ToWordBool(active_)); }
    HRESULT Get_DropTarget(WordBool* Value) override {
        return SetOut(Value, ToWordBool(dropTarget_));
    }
    HRESULT Set_DropTarget(WordBool Value) override { return Keep(dropTarget_, Value != 0); }
    HRESULT Get_HelpFile(std::u16string* Value) override;
    HRESULT Set_HelpFile(const std::u16string& Value) override;
    HRESULT Get_DoubleBuffered(WordBool* Value) override {
        return SetOut(Value, ToWordBool(doubleBuffered_));
    }
    HRESULT Set_DoubleBuffered(WordBool Value) override {
        return Keep(doubleBuffered_, Value != 0);
    }
    HRESULT Get_Enabled(WordBool* Value) override;
    HRESULT Set_Enabled(WordBool Value) override;
    HRESULT Get_BiDiMode(TxBiDiMode* Value) override { return SetOut(Value, biDiMode_); }
    HRESULT Set_BiDiMode(TxBiDiMode Value) override;
    HRESULT Get_Cursor(int16_t* Value) override { return SetOut(Value, cursor_); }
    HRESULT Set_Cursor(int16_t Value) override;

    // IEventSource
    HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;

    // IEmbedding
    HRESULT Attach(void* parent) override;
    HRESULT Detach() override;
    HRESULT GetWindow(void** widget) override;

    // IInPlaceActiveObject
    HRESULT OnFrameWindowActivate(int32_t activate) override;

    // The firing handlers of the form's events. Without a sink they fire
    // nothing; what they do besides still happens.
    void ActivateEvent();
    void ClickEvent();
    void DblClickEvent();
    void DeactivateEvent();
    void DestroyEvent();
    // The sink may change the character (its low byte is kept) or swallow
    // it (0).
    void KeyPressEvent(uint8_t& key);
    void PaintEvent();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Made by CreateInstance and freed by the last Release only.
    friend struct std::default_delete<TVelmora>;
    TVelmora();
    ~TVelmora() override;

    template <typename T> static HRESULT Keep(T& field, T value) {
        field = value;
        return S_OK;
    }
    void FormCreate();
    void ApplyFont(const TFontDesc& font);
    void ApplyColor(OLE_COLOR color);
    void ApplyBorderStyle(TxActiveFormBorderStyle style);
    // Runs the key through KeyPressEvent for a widget inside the control;
    // true when the original key is used up (swallowed or replaced).
    bool PreviewKey(QWidget* receiver, QKeyEvent* key);

    TObjectCount live_;
    TRefCount refs_;
    TEventConnection events_{DIID_IVelmoraEvents};
    // This control's own emulator form; a second control has another, so
    // freeing one never touches the other's.
    std::unique_ptr<TfEmulator> emulator_;
    std::shared_ptr<TFontLink> font_;
    QMetaObject::Connection parentGone_;
    bool destroyed_ = false;
    bool forwardingKey_ = false;

    // The properties; those with a setter are also applied to the widget.
    bool visible_ = true;
    bool autoScroll_ = false;
    bool autoSize_ = false;
    TxActiveFormBorderStyle axBorderStyle_ = afbSingle;
    OLE_COLOR color_;
    bool keyPreview_ = false;
    int32_t pixelsPerInch_ = 96;
    TxPrintScale printScale_ = poProportional;
    bool scaled_ = true;
    bool active_ = false;
    bool dropTarget_ = false;
    std::u16string helpFile_;
    bool doubleBuffered_ = false;
    TxBiDiMode biDiMode_ = bdLeftToRight;
    int16_t cursor_ = 0;
};
