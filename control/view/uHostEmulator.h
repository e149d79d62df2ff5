// The host emulator view: the screen grid made a terminal. It keeps the
// cursor and draws the caret, types into the host's input fields and carries
// out the local function keys through its editing engine (TEmuEditor), and,
// bound to an engine binding, shows the host's screens and sends its
// attention keys. User-interface thread, except the binding's screen-changed
// notification, which only posts a message to the view.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "uAidHook.h"
#include "uEmuEditor.h"
#include "uScreenGrid.h"

class TPLComApi;

// The prompts a view opens; tests answer them. User-interface thread.
class TEmuPrompts {
public:
    virtual ~TEmuPrompts() = default;
    virtual void ShowMessage(QWidget* parent, const QString& text);
    // False when cancelled.
    virtual bool InputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                            QString& value);
};

class TCustomHostEmulator : public TScreenGrid {
public:
    using TNotify = std::function<void(TCustomHostEmulator&)>;
    using TOnAidKeyPressed =
        std::function<void(TCustomHostEmulator&, const std::string& aidKey, bool& cont)>;

    explicit TCustomHostEmulator(QWidget* parent = nullptr);
    ~TCustomHostEmulator() override;

    TEmuEditor& Editor() { return editor_; }
    int GetCursorAddress() const { return editor_.CursorAddress(); }
    void SetCursorAddress(int address) { editor_.SetCursorAddress(address); }
    bool InsertMode() const { return editor_.InsertMode(); }
    void SetInsertMode(bool on) { editor_.SetInsertMode(on); }
    const std::string& InhibitReason() const { return editor_.InhibitReason(); }
    bool CaretCreated() const { return caretCreated_; }
    void SetHostBusy(bool busy) { editor_.HostBusy = busy; }

    // Replaces the default message boxes; the view does not own it.
    void SetPrompts(TEmuPrompts* prompts);

    TNotify OnInputInhibitChange;
    TNotify OnInsertModeChange;
    TNotify OnCursorPos;
    TOnAidKeyPressed OnAidKeyPressed;

    virtual bool DoAidKey(const std::string& aidName) { return editor_.DoAidKey(aidName); }
    virtual bool IsConnected() { return false; }
    void PasteText() override;

protected:
    // What the editor asks of the view, answered by its overridable parts.
    virtual TEmuEditorHost::TRules Rules() { return TEmuEditorHost::TRules::None; }
    virtual void SendAid(const std::string&) {}
    virtual void RestoreScreen() {}
    TEmuPrompts& Prompts() { return *prompts_; }

    bool CellClick(int col, int row) override;
    void UpdateCaret() override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Tab and Backtab are the view's own keys.
    bool focusNextPrevChild(bool) override { return false; }
    // Runs after the local functions of a key press; the key is not typed.
    virtual bool ExtraKey(QKeyEvent&) { return false; }

private:
    class TEditorHost;
    std::unique_ptr<TEditorHost> editorHost_;
    TEmuEditor editor_;
    TEmuPrompts defaultPrompts_;
    TEmuPrompts* prompts_ = &defaultPrompts_;
    bool caretCreated_ = false;
    // The caret's distance below its cell's top edge: made by the caret's
    // shape, and moved by the input border style each time the cursor is set.
    int caretTop_ = 0;
};

class THostEmulator : public TCustomHostEmulator {
public:
    explicit THostEmulator(QWidget* parent = nullptr);
    ~THostEmulator() override;

    TAidHook* AidHook() { return aidHook_; }
    TPLComApi* ComApi() const { return comApi_; }
    // Attaches the view to a binding (loading its host's key map) or, with
    // null, detaches it. A view is detached before its binding is freed.
    void SetComApi(TPLComApi* api);

    bool DoAidKey(const std::string& aidName) override;
    bool IsConnected() override;
    THostFields* GetFields() override;
    THostFields* GetInputFields() override;

protected:
    TEmuEditorHost::TRules Rules() override;
    void SendAid(const std::string& aidName) override;
    void RestoreScreen() override;
    void customEvent(QEvent* event) override;
    bool ExtraKey(QKeyEvent& event) override;

private:
    struct TPostTarget;
    void ScreenUpdate();
    bool Attached() const;
    void ReleaseBinding();

    TAidHook* aidHook_;
    TPLComApi* comApi_ = nullptr;
    std::shared_ptr<TPostTarget> postTarget_;
    bool inScreenUpdate_ = false;
    bool updatePending_ = false;
};
