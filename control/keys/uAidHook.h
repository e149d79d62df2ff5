// The keyboard hook that catches attention keys for a view before any
// widget, shortcut or dialog sees them, so that Enter, Esc, F10 or Alt
// combinations reach the host and not the window around the view.
// Runs on the user-interface thread.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include <functional>
#include <string>

#include "uKbdMapping.h"

class QKeyEvent;

// Takes an attention key's name; its result is not used.
using TStringNotify = std::function<bool(const std::string& name)>;

// One per view. While the view (Control) or a widget inside it has the
// focus, a key that the key map names an attention key goes to DoAidKey on
// its press, auto-repeats included, and neither its press nor its release
// reaches any widget. All instances share one event filter on the
// application, installed while at least one exists.
class TAidHook : public QObject {
public:
    explicit TAidHook(QObject* owner = nullptr);
    ~TAidHook() override;
    TAidHook(const TAidHook&) = delete;
    TAidHook& operator=(const TAidHook&) = delete;

    // Kept for the view's settings; the hook does not consult it.
    bool Active = false;
    // The widget whose focus, or a descendant's, enables the hook.
    QPointer<QWidget> Control;
    TStringNotify OnAidKey;

    // Fires OnAidKey when it is set.
    virtual void DoAidKey(const std::string& aidName);

    // The attention key that (key, shift) stands for in the key map.
    static bool LookupAidKey(int key, const TShiftState& shift, std::string& name);
};

// The shift state of a key event, with the hands of Ctrl and Alt as the
// hook has followed them; for the view's own lookups of local functions.
// Seeing the same event more than once gives the same state.
TShiftState KeyEventShiftState(const QKeyEvent& event);
