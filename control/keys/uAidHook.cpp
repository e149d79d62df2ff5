#include "uAidHook.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <mutex>
#include <vector>

#include "uQtKeys.h"

namespace {

// The one event filter on the application that serves every hook.
class TKeyFilter final : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override;
};

// What all hooks share. It is never freed: a view handling a key may
// destroy hooks, the last one included, while the filter walks them.
struct THookRegistry {
    // Guards the rest. Recursive, because a view handling a key runs inside
    // the walk and may create or destroy hooks, or open a dialog whose keys
    // come through the filter again.
    std::recursive_mutex Lock;
    std::vector<TAidHook*> Instances;
    TKeyFilter* Filter = nullptr; // installed on App while a hook exists
    // Sees every key event of the application while the filter is installed.
    TModifierHands Hands;
    QPointer<QCoreApplication> App;
    bool HandsDecided = false;
};

THookRegistry& Registry() {
    static auto* registry = new THookRegistry;
    return *registry;
}

bool IsLive(const THookRegistry& r, const TAidHook* hook) {
    return std::find(r.Instances.begin(), r.Instances.end(), hook) != r.Instances.end();
}

bool IsInside(const QWidget* control, const QWidget* w) {
    return w && (w == control || control->isAncestorOf(w));
}

void InstallFilter(THookRegistry& r) {
    // An application that went away took our installation with it.
    if (r.Filter && !r.App) {
        delete r.Filter;
        r.Filter = nullptr;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (r.Filter || !app) return;
    r.App = app;
    r.Filter = new TKeyFilter;
    app->installEventFilter(r.Filter);
    if (!r.HandsDecided && qobject_cast<QGuiApplication*>(app)) {
        r.HandsDecided = true;
        SetDistinguishLeftRight(PlatformTellsHandsApart());
    }
}

void RemoveFilter(THookRegistry& r) {
    if (!r.Filter) return;
    if (r.App) r.App->removeEventFilter(r.Filter);
    // The filter may be inside its own eventFilter right now (a view
    // destroyed its last hook while handling a key); it touches nothing of
    // itself after handing the key on, so it can go at once.
    delete r.Filter;
    r.Filter = nullptr;
    r.App = nullptr;
}

// Offers a key event to the hooks in the order they were created; true when
// one of them claims it. The walk goes over a copy of the list, since a view
// handling a key may create or destroy hooks.
bool ClaimKey(QKeyEvent& event, QWidget* receiver, const TShiftState& shift) {
    const int key = VirtualKeyOf(event.key(), event.modifiers());
    if (key == 0) return false;
    THookRegistry& r = Registry();
    std::lock_guard<std::recursive_mutex> lock(r.Lock);
    const std::vector<TAidHook*> hooks = r.Instances;
    QWidget* focus = QApplication::focusWidget();
    for (TAidHook* hook : hooks) {
        if (!IsLive(r, hook)) continue;
        QWidget* control = hook->Control;
        if (!control || !IsInside(control, focus) || !IsInside(control, receiver)) continue;
        std::string name;
        if (!TAidHook::LookupAidKey(key, shift, name)) continue;
        if (event.type() == QEvent::KeyPress) hook->DoAidKey(name);
        // Accepting the shortcut override keeps the window's shortcuts from
        // taking the key before the press reaches the view.
        event.accept();
        return true;
    }
    return false;
}

bool TKeyFilter::eventFilter(QObject* receiver, QEvent* event) {
    switch (event->type()) {
    case QEvent::ApplicationDeactivate:
        // Keys let go in another application are never reported to us.
        Registry().Hands.Clear();
        return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        break;
    default:
        return false;
    }
    auto& key = static_cast<QKeyEvent&>(*event);
    const TShiftState shift = KeyEventShiftState(key);
    // Key events reach the window before its focus widget; the widget's turn
    // decides. Nothing of this filter is touched after ClaimKey, which may
    // destroy it.
    if (!receiver->isWidgetType()) return false;
    return ClaimKey(key, static_cast<QWidget*>(receiver), shift);
}

} // namespace

TAidHook::TAidHook(QObject* owner) : QObject(owner) {
    THookRegistry& r = Registry();
    std::lock_guard<std::recursive_mutex> lock(r.Lock);
    r.Instances.push_back(this);
    InstallFilter(r);
}

TAidHook::~TAidHook() {
    Active = false;
    THookRegistry& r = Registry();
    std::lock_guard<std::recursive_mutex> lock(r.Lock);
    r.Instances.erase(std::remove(r.Instances.begin(), r.Instances.end(), this), r.Instances.end());
    if (r.Instances.empty()) RemoveFilter(r);
}

void TAidHook::DoAidKey(const std::string& aidName) {
    // The handler may destroy this hook, and OnAidKey with it; call a copy.
    const TStringNotify notify = OnAidKey;
    if (notify) notify(aidName);
}

TShiftState KeyEventShiftState(const QKeyEvent& event) {
    THookRegistry& r = Registry();
    std::lock_guard<std::recursive_mutex> lock(r.Lock);
    return r.Hands.Observe(event);
}

bool TAidHook::LookupAidKey(int key, const TShiftState& shift, std::string& name) {
    return LookupKeyMapping(key, shift, TKeyKind::Attention, name);
}
