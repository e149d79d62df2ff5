#include "VelmoraImpl1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QThread>
#include <QVBoxLayout>

#include <exception>

#include "Logging.h"
#include "uEmuForm.h"

namespace {

// The form's resource.
constexpr int kLeft = 2;
constexpr int kTop = 107;
constexpr int kWidth = 544;
constexpr int kHeight = 375;
constexpr const char* kCaption = "Velmora";
constexpr OLE_COLOR kSystemColor = 0x80000000;
constexpr OLE_COLOR clBtnFace = kSystemColor | 15;
// "MS Sans Serif" of height -11: 11 pixels, 8 points at 96 pixels per inch.
constexpr const char16_t* kFontName = u"MS Sans Serif";
constexpr int kFontPixels = 11;
constexpr int32_t kFontPoints = 8;

// A system colour by its index, as the palette of this desktop has it.
QColor SystemColor(uint32_t index, const QPalette& palette) {
    switch (index) {
    case 5: // window
        return palette.color(QPalette::Base);
    case 8: // window text
        return palette.color(QPalette::Text);
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 14: // highlighted text
        return palette.color(QPalette::HighlightedText);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    default: // the button face, which forms are painted with
        return palette.color(QPalette::Button);
    }
}

Qt::CursorShape CursorShapeOf(int16_t cursor) {
    switch (cursor) {
    case -1:
        return Qt::BlankCursor;
    case -3:
        return Qt::CrossCursor;
    case -4:
        return Qt::IBeamCursor;
    case -6:
        return Qt::SizeBDiagCursor;
    case -7:
        return Qt::SizeVerCursor;
    case -8:
        return Qt::SizeFDiagCursor;
    case -9:
        return Qt::SizeHorCursor;
    case -10:
        return Qt::UpArrowCursor;
    case -11:
    case -17:
        return Qt::WaitCursor;
    case -12:
    case -16:
        return Qt::DragMoveCursor;
    case -13:
    case -18:
        return Qt::ForbiddenCursor;
    case -14:
        return Qt::SplitHCursor;
    case -15:
        return Qt::SplitVCursor;
    case -19:
        return Qt::BusyCursor;
    case -20:
        return Qt::WhatsThisCursor;
    case -21:
        return Qt::PointingHandCursor;
    case -22:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

// The character a key event types, when it is one Latin-1 character.
bool CharacterOf(const QKeyEvent* key, uint8_t& out) {
    const QString text = key->text();
    if (text.size() != 1 || text.at(0).unicode() > 0xFF) return false;
    out = static_cast<uint8_t>(text.at(0).unicode());
    return true;
}

// The key code of a replaced character, so that widgets that look at the
// code rather than the text see the same key.
int KeyCodeOf(uint8_t c) {
    switch (c) {
    case '\b':
        return Qt::Key_Backspace;
    case '\t':
        return Qt::Key_Tab;
    case '\r':
    case '\n':
        return Qt::Key_Return;
    case 0x1B:
        return Qt::Key_Escape;
    default:
        break;
    }
    if (c < 0x20) return Qt::Key_unknown;
    return QChar(c).toUpper().unicode();
}

} // namespace

HRESULT TVelmora::CreateInstance(const TGuid& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return E_UNEXPECTED;
    return SafeCall([&] {
        // The first reference is ref's; QueryInterface adds the caller's, and
        // a control that lacks iid goes again with ref.
        TComPtr<IVelmora> ref = TComPtr<IVelmora>::Adopt(new TVelmora);
        return ref->QueryInterface(iid, out);
    });
}

TVelmora::TVelmora() : QFrame(nullptr), font_(std::make_shared<TFontLink>()), color_(clBtnFace) {
    setObjectName(QStringLiteral("Velmora"));
    setGeometry(kLeft, kTop, kWidth, kHeight);
    setWindowTitle(QString::fromLatin1(kCaption));
    setAutoFillBackground(true);
    ApplyColor(color_);
    QFont font = QApplication::font();
    font.setPixelSize(kFontPixels);
    setFont(font);
    font_->font = TFontDesc{kFontName, kFontPoints};
    ApplyBorderStyle(axBorderStyle_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    FormCreate();

    // Initialize: from here on the form's events reach the sink. OnCreate has
    // run by now (it was FormCreate), before any sink could be connected, so
    // it never reaches one.
    font_->Changed = [this](const TFontDesc& f) { ApplyFont(f); };
}

TVelmora::~TVelmora() {
    // Normally run by the last Release; here for a control whose window was
    // deleted under it.
    DestroyEvent();
}

void TVelmora::FormCreate() {
    emulator_ = std::make_unique<TfEmulator>();
    QWidget* panel = emulator_->pnlEmulator;
    panel->setParent(this);
    layout()->addWidget(panel);
    panel->show();
}

// ---- IUnknown, IDispatch ----

HRESULT TVelmora::QueryInterface(const TGuid& iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IVelmora) {
        *out = static_cast<IVelmora*>(this);
    } else if (iid == IID_IEventSource) {
        *out = static_cast<IEventSource*>(this);
    } else if (iid == IID_IEmbedding) {
        *out = static_cast<IEmbedding*>(this);
    } else if (iid == IID_IInPlaceActiveObject) {
        *out = static_cast<IInPlaceActiveObject*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

uint32_t TVelmora::AddRef() {
    return refs_.Add();
}

uint32_t TVelmora::Release() {
    uint32_t left = 0;
    if (!refs_.Drop(&left)) return left;
    // The events and the emulator form go while the control is whole; then
    // the control owns itself no longer.
    DestroyEvent();
    std::unique_ptr<TVelmora>(this).reset();
    return 0;
}

HRESULT TVelmora::GetIDsOfNames(const char16_t* name, DISPID* id) {
    return DispatchGetIDOfName(IVelmoraDesc, name, id);
}

HRESULT TVelmora::Invoke(DISPID id, uint16_t flags, TDispParams* params, TVariant* result,
                         TExcepInfo* excep) {
    return InvokeVelmora(*this, id, flags, params, result, excep);
}

// ---- IVelmora ----

HRESULT TVelmora::Set_Visible(WordBool Value) {
    return SafeCall([&] {
        visible_ = Value != 0;
        // Detached, the control has no parent, and showing it would open a
        // window of its own.
        if (parentWidget()) setVisible(visible_);
        return S_OK;
    });
}

HRESULT TVelmora::Set_AxBorderStyle(TxActiveFormBorderStyle Value) {
    if (!TxActiveFormBorderStyleDesc.Contains(Value)) return E_INVALIDARG;
    return SafeCall([&] {
        ApplyBorderStyle(Value);
        axBorderStyle_ = Value;
        return S_OK;
    });
}

HRESULT TVelmora::Get_Caption(std::u16string* Value) {
    if (!Value) return E_POINTER;
    return SafeCall([&] {
        *Value = Latin1ToWide(windowTitle().toLatin1().toStdString());
        return S_OK;
    });
}

HRESULT TVelmora::Set_Caption(const std::u16string& Value) {
    return SafeCall([&] {
        setWindowTitle(QString::fromLatin1(WideToLatin1(Value)));
        return S_OK;
    });
}

HRESULT TVelmora::Set_Color(OLE_COLOR Value) {
    return SafeCall([&] {
        ApplyColor(Value);
        color_ = Value;
        return S_OK;
    });
}

HRESULT TVelmora::Get_Font(IFontDisp** Value) {
    if (!Value) return E_POINTER;
    *Value = nullptr;
    return SafeCall([&] {
        // The font object is the control's font: what the caller changes in
        // it changes the control.
        *Value = CreateFontObject(font_).Detach();
        return S_OK;
    });
}

HRESULT TVelmora::Set_Font(IFontDisp* Value) {
    if (!Value) return E_POINTER;
    return SafeCall([&] {
        TFontDesc font;
        if (HRESULT hr = ReadFontObject(Value, font); Failed(hr)) return hr;
        if (font.Size < 1 || font.Size > kMaxFontPoints) return E_INVALIDARG;
        ApplyFont(font);
        font_->font = font;
        return S_OK;
    });
}

HRESULT TVelmora::_Set_Font(IFontDisp* Value) {
    // The control keeps its own font either way: it copies this one.
    return Set_Font(Value);
}

HRESULT TVelmora::Set_KeyPreview(WordBool Value) {
    return SafeCall([&] {
        const bool preview = Value != 0;
        if (preview == keyPreview_) return S_OK;
        // Keys go to the focused widget first; only a filter on the
        // application sees them before a widget inside the control does.
        if (preview && !destroyed_) {
            qApp->installEventFilter(this);
        } else {
            qApp->removeEventFilter(this);
        }
        keyPreview_ = preview;
        return S_OK;
    });
}

HRESULT TVelmora::Set_PrintScale(TxPrintScale Value) {
    if (!TxPrintScaleDesc.Contains(Value)) return E_INVALIDARG;
    printScale_ = Value;
    return S_OK;
}

HRESULT TVelmora::Get_HelpFile(std::u16string* Value) {
    if (!Value) return E_POINTER;
    return SafeCall([&] {
        *Value = helpFile_;
        return S_OK;
    });
}

HRESULT TVelmora::Set_HelpFile(const std::u16string& Value) {
    return SafeCall([&] {
        helpFile_ = Value;
        return S_OK;
    });
}

HRESULT TVelmora::Get_Enabled(WordBool* Value) {
    // The control's own setting, whatever its container's state.
    return SetOut(Value, ToWordBool(!testAttribute(Qt::WA_ForceDisabled)));
}

HRESULT TVelmora::Set_Enabled(WordBool Value) {
    return SafeCall([&] {
        setEnabled(Value != 0);
        return S_OK;
    });
}

HRESULT TVelmora::Set_BiDiMode(TxBiDiMode Value) {
    if (!TxBiDiModeDesc.Contains(Value)) return E_INVALIDARG;
    return SafeCall([&] {
        // Reading order alone has no counterpart in a widget's layout.
        const bool mirrored = Value == bdRightToLeft || Value == bdRightToLeftNoAlign;
        setLayoutDirection(mirrored ? Qt::RightToLeft : Qt::LeftToRight);
        biDiMode_ = Value;
        return S_OK;
    });
}

HRESULT TVelmora::Set_Cursor(int16_t Value) {
    return SafeCall([&] {
        if (Value == 0) {
            unsetCursor();
        } else {
            setCursor(CursorShapeOf(Value));
        }
        cursor_ = Value;
        return S_OK;
    });
}

void TVelmora::ApplyFont(const TFontDesc& desc) {
    QFont f = QApplication::font();
    // The resource's "MS Sans Serif" is the desktop's own interface font.
    if (desc.Name != kFontName && !desc.Name.empty())
        f.setFamily(QString::fromStdU16String(desc.Name));
    if (desc.Size > 0) f.setPointSize(desc.Size);
    f.setBold(desc.Bold);
    f.setItalic(desc.Italic);
    f.setUnderline(desc.Underline);
    f.setStrikeOut(desc.Strikethrough);
    setFont(f);
}

void TVelmora::ApplyColor(OLE_COLOR color) {
    QPalette p = palette();
    QColor c;
    if ((color & 0xFF000000) == kSystemColor) {
        c = SystemColor(color & 0xFF, QApplication::palette());
    } else {
        c = QColor(static_cast<int>(color & 0xFF), static_cast<int>(color >> 8 & 0xFF),
                   static_cast<int>(color >> 16 & 0xFF));
    }
    p.setColor(QPalette::Window, c);
    setPalette(p);
}

void TVelmora::ApplyBorderStyle(TxActiveFormBorderStyle style) {
    switch (style) {
    case afbNone:
        setFrameStyle(QFrame::NoFrame);
        break;
    case afbSingle:
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
        break;
    case afbSunken:
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
        break;
    case afbRaised:
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setLineWidth(2);
        break;
    }
}

// ---- IEventSource ----

HRESULT TVelmora::Advise(IUnknown* sink, uint32_t* cookie) {
    if (destroyed_) {
        if (cookie) *cookie = 0;
        return E_UNEXPECTED;
    }
    return events_.Advise(sink, cookie);
}

HRESULT TVelmora::Unadvise(uint32_t cookie) {
    return events_.Unadvise(cookie);
}

// ---- IEmbedding ----

HRESULT TVelmora::Attach(void* parent) {
    if (!parent) return E_POINTER;
    if (destroyed_) return E_UNEXPECTED;
    return SafeCall([&] {
        auto* container = static_cast<QWidget*>(parent);
        if (parentWidget() == container) return S_FALSE;
        Detach();
        setParent(container);
        // A container destroys its children with it; the control takes its
        // window back first, since its references still stand.
        parentGone_ = connect(container, &QObject::destroyed, this, [this] { Detach(); });
        setVisible(visible_);
        return S_OK;
    });
}

HRESULT TVelmora::Detach() {
    return SafeCall([&] {
        QObject::disconnect(parentGone_);
        if (!parentWidget()) return S_FALSE;
        hide();
        setParent(nullptr);
        return S_OK;
    });
}

HRESULT TVelmora::GetWindow(void** widget) {
    return SetOut(widget, static_cast<void*>(static_cast<QWidget*>(this)));
}

// ---- IInPlaceActiveObject ----

HRESULT TVelmora::OnFrameWindowActivate(int32_t) {
    // Nothing to do on either side: Qt itself gives the focus back to the
    // widget inside the control that had it when the frame window returns.
    return S_OK;
}

// ---- the firing handlers ----

void TVelmora::ActivateEvent() {
    active_ = true;
    events_.Fire(VelmoraEventId::OnActivate);
    TComPtr<IInPlaceActiveObject> inPlace =
        QueryAs<IInPlaceActiveObject>(static_cast<IVelmora*>(this), IID_IInPlaceActiveObject);
    if (inPlace) inPlace->OnFrameWindowActivate(1);
}

void TVelmora::ClickEvent() {
    events_.Fire(VelmoraEventId::OnClick);
}

void TVelmora::DblClickEvent() {
    events_.Fire(VelmoraEventId::OnDblClick);
}

void TVelmora::DeactivateEvent() {
    active_ = false;
    events_.Fire(VelmoraEventId::OnDeactivate);
}

void TVelmora::DestroyEvent() {
    if (destroyed_) return;
    destroyed_ = true;
    events_.Fire(VelmoraEventId::OnDestroy);
    if (keyPreview_) qApp->removeEventFilter(this);
    if (emulator_) {
        // Closing saves the window layout; whatever it raises, the form is
        // still freed, and with it its binding and its panel, in that order.
        try {
            emulator_->close();
        } catch (const std::exception& e) {
            DebugOut(std::string("TVelmora: emulator form not closed: ") + e.what());
        } catch (...) {
            DebugOut("TVelmora: emulator form not closed");
        }
        emulator_.reset();
    }
    events_.Clear();
    // A font object handed out earlier changes only itself from now on.
    font_->Changed = nullptr;
}

void TVelmora::KeyPressEvent(uint8_t& key) {
    int16_t wide = key;
    TVariant arg = TVariant::I2Ref(&wide);
    events_.Fire(VelmoraEventId::OnKeyPress, &arg, 1);
    key = static_cast<uint8_t>(static_cast<uint16_t>(wide) & 0xFF);
}

void TVelmora::PaintEvent() {
    events_.Fire(VelmoraEventId::OnPaint);
}

// ---- the widget's events ----

bool TVelmora::event(QEvent* e) {
    // The container's window passes its activation down to its children.
    if (!destroyed_) {
        if (e->type() == QEvent::WindowActivate) ActivateEvent();
        if (e->type() == QEvent::WindowDeactivate) DeactivateEvent();
    }
    return QFrame::event(e);
}

bool TVelmora::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && keyPreview_ && !forwardingKey_ && !destroyed_ &&
        watched->isWidgetType()) {
        auto* receiver = static_cast<QWidget*>(watched);
        // A key is previewed once, as it reaches the focused widget; the
        // deliveries to its parents that follow when it ignores the key are
        // the same key.
        if (receiver == QApplication::focusWidget() && (receiver == this || isAncestorOf(receiver)))
            return PreviewKey(receiver, static_cast<QKeyEvent*>(e));
    }
    return QFrame::eventFilter(watched, e);
}

bool TVelmora::PreviewKey(QWidget* receiver, QKeyEvent* key) {
    uint8_t typed = 0;
    if (!CharacterOf(key, typed)) return false;
    uint8_t c = typed;
    KeyPressEvent(c);
    if (c == typed) return false;
    if (c == 0) return true;
    QKeyEvent replaced(QEvent::KeyPress, KeyCodeOf(c), key->modifiers(),
                       QString(QChar(static_cast<char16_t>(c))), key->isAutoRepeat(),
                       static_cast<quint16>(key->count()));
    forwardingKey_ = true;
    QCoreApplication::sendEvent(receiver, &replaced);
    forwardingKey_ = false;
    return true;
}

void TVelmora::keyPressEvent(QKeyEvent* e) {
    // Without key preview the form sees only the keys typed while it has
    // the focus itself.
    uint8_t typed = 0;
    if (!keyPreview_ && !destroyed_ && hasFocus() && CharacterOf(e, typed)) {
        uint8_t c = typed;
        KeyPressEvent(c);
        if (c == 0) {
            e->accept();
            return;
        }
    }
    QFrame::keyPressEvent(e);
}

void TVelmora::mouseReleaseEvent(QMouseEvent* e) {
    // A click on a widget inside the control is that widget's.
    if (!destroyed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) &&
        !childAt(e->position().toPoint()))
        ClickEvent();
    QFrame::mouseReleaseEvent(e);
}

void TVelmora::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!destroyed_ && e->button() == Qt::LeftButton && !childAt(e->position().toPoint()))
        DblClickEvent();
    QFrame::mouseDoubleClickEvent(e);
}

void TVelmora::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    if (!destroyed_) PaintEvent();
}
