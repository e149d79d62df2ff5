#include "uHostEmulator.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>

#include <mutex>

#include "uEmuMessages.h"
#include "uKbdMapping.h"
#include "uPlComApi.h"
#include "uQtKeys.h"

namespace {

// Text for an engine: Latin-1, characters outside it left out.
std::string Latin1Bytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (const QChar c : text)
        if (c.unicode() <= 0xFF) bytes.push_back(static_cast<char>(c.unicode()));
    return bytes;
}

} // namespace

void TEmuPrompts::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

bool TEmuPrompts::InputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                             QString& value) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

// The editor's requests, passed on to the view.
class TCustomHostEmulator::TEditorHost final : public TEmuEditorHost {
public:
    explicit TEditorHost(TCustomHostEmulator& view) : view_(view) {}
    void InvalidateCell(int col, int row) override { view_.InvalidateCell(col, row); }
    void PaintCells() override { view_.PaintCells(); }
    THostFields* GetFields() override { return view_.GetFields(); }
    THostFields* GetInputFields() override { return view_.GetInputFields(); }
    bool IsConnected() override { return view_.IsConnected(); }
    TRules Rules() override { return view_.Rules(); }
    bool AidKeyPressed(const std::string& aidName) override {
        bool cont = true;
        if (view_.OnAidKeyPressed) view_.OnAidKeyPressed(view_, aidName, cont);
        return cont;
    }
    void SendAid(const std::string& aidName) override { view_.SendAid(aidName); }
    void RestoreScreen() override { view_.RestoreScreen(); }
    void CursorPlaced(int) override {
        view_.caretTop_ = view_.StyleDetail.EditBorderStyle != ebsNone ? 2 : 0;
        view_.update();
        if (view_.OnCursorPos) view_.OnCursorPos(view_);
    }
    void InputInhibitChanged() override {
        if (view_.OnInputInhibitChange) view_.OnInputInhibitChange(view_);
    }
    void InsertModeChanged() override {
        if (view_.OnInsertModeChange) view_.OnInsertModeChange(view_);
    }

private:
    TCustomHostEmulator& view_;
};

TCustomHostEmulator::TCustomHostEmulator(QWidget* parent)
    : TScreenGrid(parent), editorHost_(std::make_unique<TEditorHost>(*this)),
      editor_(Cells, Viewport, *editorHost_) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

TCustomHostEmulator::~TCustomHostEmulator() = default;

void TCustomHostEmulator::SetPrompts(TEmuPrompts* prompts) {
    prompts_ = prompts ? prompts : &defaultPrompts_;
}

bool TCustomHostEmulator::CellClick(int col, int row) {
    const bool result = TScreenGrid::CellClick(col, row);
    editor_.CellClick(col, row);
    return result;
}

void TCustomHostEmulator::UpdateCaret() {
    caretTop_ = StyleDetail.Cursor == 1 ? 2 : 0;
    update();
}

void TCustomHostEmulator::focusInEvent(QFocusEvent* event) {
    TScreenGrid::focusInEvent(event);
    caretCreated_ = true;
    UpdateCaret();
}

void TCustomHostEmulator::focusOutEvent(QFocusEvent* event) {
    TScreenGrid::focusOutEvent(event);
    caretCreated_ = false;
    update();
}

void TCustomHostEmulator::paintEvent(QPaintEvent* event) {
    TScreenGrid::paintEvent(event);
    if (!caretCreated_) return;
    const int address = editor_.CursorAddress();
    const int col = address % TScreenCells::kCols - (Viewport.LeftCol() - 1);
    const int row = address / TScreenCells::kCols - (Viewport.TopRow() - 1);
    const QRect cell = CellRect(col, row);
    QPainter p(this);
    // The caret inverts what it covers, as a system caret does.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    if (StyleDetail.Cursor == 1)
        p.fillRect(QRect(cell.left(), cell.top() + caretTop_, 1, std::max(RowHeight() - 4, 1)),
                   Qt::white);
    else
        p.fillRect(QRect(cell.left(), cell.top() + caretTop_, ColWidth(), RowHeight()), Qt::white);
}

void TCustomHostEmulator::keyPressEvent(QKeyEvent* event) {
    QPointer<TCustomHostEmulator> self(this);
    try {
        const TShiftState shift = KeyEventShiftState(*event);
        const int key = VirtualKeyOf(event->key(), event->modifiers());
        std::string name;
        if (!editor_.Inhibited() && !editor_.HexMode() &&
            LookupKeyMapping(key, shift, TKeyKind::Local, name))
            editor_.LocalFunction(name, shift.Alt);
        if (ExtraKey(*event) || !self) return;
        if (!KeyTypesText(event->modifiers())) return;
        for (const QChar c : event->text()) {
            // Control codes type nothing but still reach the editor, which
            // may be waiting to drop one (keypad plus after FIELD+). DEL and
            // the C1 codes (X11 gives Delete the text DEL) and characters the
            // 8-bit cells cannot hold are not characters of a key at all.
            const char16_t code = c.unicode();
            if (code < 0x20 || TEmuEditor::Typable(code))
                editor_.KeyPress(static_cast<uint8_t>(code));
        }
    } catch (const EEmuEditorError& e) {
        if (self) prompts_->ShowMessage(this, QString::fromStdString(e.what()));
    }
    if (self) event->accept();
}

void TCustomHostEmulator::PasteText() {
    const QString text = QApplication::clipboard()->text();
    try {
        editor_.PasteText(text.toStdU32String());
    } catch (const EEmuEditorError& e) {
        prompts_->ShowMessage(this, QString::fromStdString(e.what()));
    }
}

// The binding's screen-changed notification runs on an engine thread; it
// reaches the view through this, which the view clears before it goes away.
// An update already posted and not yet taken covers every later report: the
// engine may report one record more than once, and a busy host reports
// faster than the view fetches, so a burst costs one fetch.
struct THostEmulator::TPostTarget {
    std::mutex targetMutex; // guards target and posted
    QObject* target = nullptr;
    bool posted = false;
    void Post() {
        std::lock_guard lock(targetMutex);
        if (!target || posted) return;
        posted = true;
        PostEmuMessage(target, WM_EMU_SCREENUPDATE);
    }
    // The posted update is being handled: a report from now on may not be
    // in the screen it fetches, and posts again.
    void Taken() {
        std::lock_guard lock(targetMutex);
        posted = false;
    }
    void Clear() {
        std::lock_guard lock(targetMutex);
        target = nullptr;
    }
};

THostEmulator::THostEmulator(QWidget* parent)
    : TCustomHostEmulator(parent), aidHook_(new TAidHook(this)),
      postTarget_(std::make_shared<TPostTarget>()) {
    postTarget_->target = this;
    aidHook_->Control = this;
    aidHook_->OnAidKey = [this](const std::string& name) { return DoAidKey(name); };
}

THostEmulator::~THostEmulator() {
    postTarget_->Clear();
    ReleaseBinding();
}

void THostEmulator::ReleaseBinding() {
    if (comApi_) comApi_->OnScreenChanged = nullptr;
    comApi_ = nullptr;
}

void THostEmulator::SetComApi(TPLComApi* api) {
    const bool newSession = api && api != comApi_;
    if (api != comApi_) ReleaseBinding();
    comApi_ = api;
    if (!api) return;
    // A new session starts as a terminal just switched on: a keyboard error,
    // a wait, a hexadecimal entry or insert mode left from the last one does
    // not carry over to its first screen.
    if (newSession) Editor().StartAfresh();
    std::weak_ptr<TPostTarget> target = postTarget_;
    api->OnScreenChanged = [target](TPLComApi&) {
        if (auto t = target.lock()) t->Post();
    };
    LoadKeyMapFor(api->ConnectionType, api->ModulePath());
    // The host's first screen may have come before the view was attached
    // (a fast host, or a module that reports it inside Connect): fetch the
    // screen the binding holds now, once the event loop runs.
    postTarget_->Post();
}

bool THostEmulator::Attached() const {
    return comApi_ && comApi_->Connected();
}

bool THostEmulator::IsConnected() {
    setFocus();
    return Attached();
}

THostFields* THostEmulator::GetFields() {
    return comApi_ ? &comApi_->ScreenFields : nullptr;
}

THostFields* THostEmulator::GetInputFields() {
    return comApi_ ? &comApi_->InputFields : nullptr;
}

TEmuEditorHost::TRules THostEmulator::Rules() {
    if (!comApi_) return TEmuEditorHost::TRules::None;
    const std::string& type = comApi_->ConnectionType;
    const bool is3270 = Uses3270KeyMap(type, "") || IsTn3270Module(comApi_->ModulePath());
    return is3270 ? TEmuEditorHost::TRules::Tn3270 : TEmuEditorHost::TRules::Tn5250;
}

bool THostEmulator::DoAidKey(const std::string& aidName) {
    // The editor sends through SendAid once it has collected the fields.
    return TCustomHostEmulator::DoAidKey(aidName);
}

void THostEmulator::SendAid(const std::string& aidName) {
    if (Attached()) comApi_->SendAid(aidName);
}

void THostEmulator::RestoreScreen() {
    postTarget_->Post();
}

bool THostEmulator::ExtraKey(QKeyEvent& event) {
    const TShiftState shift = KeyEventShiftState(event);
    if (!shift.Ctrl || VirtualKeyOf(event.key(), event.modifiers()) != 83) return false;
    QPointer<THostEmulator> self(this);
    QString text;
    const bool ok = Prompts().InputQuery(this, "System Request", "Command: ", text);
    // The prompt ran an event loop: the view or its binding may be gone.
    if (ok && self && comApi_) comApi_->SendSystemRequest(Latin1Bytes(text));
    return true;
}

void THostEmulator::customEvent(QEvent* event) {
    if (event->type() != WM_EMU_SCREENUPDATE) {
        TCustomHostEmulator::customEvent(event);
        return;
    }
    postTarget_->Taken();
    // A message box opened by an update runs an event loop; updates that
    // arrive meanwhile are applied after it closes, not inside it.
    if (inScreenUpdate_) {
        updatePending_ = true;
        return;
    }
    QPointer<THostEmulator> self(this);
    inScreenUpdate_ = true;
    do {
        updatePending_ = false;
        ScreenUpdate();
    } while (self && updatePending_);
    if (self) inScreenUpdate_ = false;
}

void THostEmulator::ScreenUpdate() {
    if (!Attached()) return;
    try {
        comApi_->RefreshScreen();
    } catch (const std::exception&) {
        // A screen that cannot be fetched shows as an empty one.
        comApi_->ScreenFields.Clear();
        comApi_->InputFields.ClearLists();
    }
    LoadScreen();
    const int curPos = std::clamp<int>(comApi_->ScreenFields.CurPos, 0, TScreenCells::kCells - 1);
    Editor().SetCursorAddress(curPos);
    Editor().MoveCursor(curPos, true);
    const THostBasicField* message = comApi_->ScreenFields.MessageField.get();
    if (message && !message->Data.empty())
        Prompts().ShowMessage(this, QString::fromLatin1(message->Data.data(),
                                                        static_cast<int>(message->Data.size())));
}
