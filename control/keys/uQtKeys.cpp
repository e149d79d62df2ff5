#include "uQtKeys.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>

namespace {

struct TKeyCode {
    int QtKey;
    int Vk;
};

// Keys whose code does not depend on the keypad.
constexpr TKeyCode kKeyCodes[] = {
    {Qt::Key_Cancel, 0x03},
    {Qt::Key_Backspace, 0x08},
    {Qt::Key_Tab, 0x09},
    // Shift+Tab arrives as Backtab; the maps know it as Tab in the Shift row.
    {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},
    {Qt::Key_Return, 0x0D},
    {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},
    {Qt::Key_Control, 0x11},
    {Qt::Key_Alt, 0x12},
    {Qt::Key_AltGr, 0x12},
    {Qt::Key_Pause, 0x13},
    {Qt::Key_CapsLock, 0x14},
    {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},
    {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},
    {Qt::Key_Home, 0x24},
    {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},
    {Qt::Key_Select, 0x29},
    {Qt::Key_Printer, 0x2A},
    {Qt::Key_Execute, 0x2B},
    {Qt::Key_Print, 0x2C},
    // X11 turns Alt+Print Screen into Sys_Req; the maps want Print Screen.
    {Qt::Key_SysReq, 0x2C},
    {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},
    {Qt::Key_Help, 0x2F},
    {Qt::Key_Meta, 0x5B},
    {Qt::Key_Menu, 0x5D},
    {Qt::Key_Sleep, 0x5F},
    {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91},
};

// Keys that have a code of their own only on the keypad.
constexpr TKeyCode kKeypadCodes[] = {
    {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B},  {Qt::Key_Minus, 0x6D},
    {Qt::Key_Period, 0x6E},   {Qt::Key_Comma, 0x6E}, {Qt::Key_Slash, 0x6F},
};

int Find(const TKeyCode* first, const TKeyCode* last, int qtKey) {
    for (; first != last; ++first)
        if (first->QtKey == qtKey) return first->Vk;
    return 0;
}

enum class TModifierKey { None, Ctrl, LeftCtrl, RightCtrl, Alt, LeftAlt, RightAlt, AltGr };

// The event's own key when it is a Ctrl or Alt key, with its hand when the
// native key symbol tells it.
TModifierKey ModifierKeyOf(const QKeyEvent& e) {
    const int key = e.key();
    if (key != Qt::Key_Control && key != Qt::Key_Alt && key != Qt::Key_AltGr)
        return TModifierKey::None;
    switch (e.nativeVirtualKey()) {
    case kXkControlL:
        return TModifierKey::LeftCtrl;
    case kXkControlR:
        return TModifierKey::RightCtrl;
    case kXkAltL:
        return TModifierKey::LeftAlt;
    case kXkAltR:
        return TModifierKey::RightAlt;
    case kXkIsoLevel3Shift:
        return TModifierKey::AltGr;
    default:
        break;
    }
    if (key == Qt::Key_Control) return TModifierKey::Ctrl;
    if (key == Qt::Key_AltGr) return TModifierKey::AltGr;
    return TModifierKey::Alt;
}

} // namespace

int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return (keypad ? 0x60 : '0') + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
    if (keypad) {
        if (int vk = Find(std::begin(kKeypadCodes), std::end(kKeypadCodes), qtKey)) return vk;
    }
    return Find(std::begin(kKeyCodes), std::end(kKeyCodes), qtKey);
}

bool KeyTypesText(Qt::KeyboardModifiers modifiers) {
    // X11 gives AltGr no Alt modifier (or the group switch beside it).
    if (modifiers.testFlag(Qt::GroupSwitchModifier)) return true;
    return !modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier);
}

bool PlatformTellsHandsApart() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

void TModifierHands::Clear() {
    leftCtrl_ = rightCtrl_ = leftAlt_ = rightAlt_ = altGr_ = false;
}

TShiftState TModifierHands::Observe(const QKeyEvent& e) {
    const bool down = e.type() != QEvent::KeyRelease;
    const Qt::KeyboardModifiers m = e.modifiers();
    TShiftState s;
    s.Shift = m.testFlag(Qt::ShiftModifier) || e.key() == Qt::Key_Shift;
    s.Ctrl = m.testFlag(Qt::ControlModifier);
    s.Alt = m.testFlag(Qt::AltModifier);

    // Qt reports a modifier key's own event with the modifier as it stands
    // after the event, so on those the other hand's state cannot be read
    // from it.
    const TModifierKey own = ModifierKeyOf(e);
    const bool ownCtrl = own == TModifierKey::Ctrl || own == TModifierKey::LeftCtrl ||
                         own == TModifierKey::RightCtrl;
    const bool ownAlt = own != TModifierKey::None && !ownCtrl;
    if (!s.Ctrl && !ownCtrl) leftCtrl_ = rightCtrl_ = false;
    if (!s.Alt && !ownAlt) leftAlt_ = rightAlt_ = false;

    switch (own) {
    case TModifierKey::None:
        break;
    case TModifierKey::Ctrl:
        s.Ctrl = true;
        if (!down) leftCtrl_ = rightCtrl_ = false;
        break;
    case TModifierKey::LeftCtrl:
        s.Ctrl = s.LeftCtrl = true;
        leftCtrl_ = down;
        break;
    case TModifierKey::RightCtrl:
        s.Ctrl = s.RightCtrl = true;
        rightCtrl_ = down;
        break;
    case TModifierKey::Alt:
        s.Alt = true;
        if (!down) leftAlt_ = rightAlt_ = false;
        break;
    case TModifierKey::LeftAlt:
        s.Alt = s.LeftAlt = true;
        leftAlt_ = down;
        break;
    case TModifierKey::RightAlt:
        s.Alt = s.RightAlt = true;
        rightAlt_ = down;
        break;
    case TModifierKey::AltGr:
        s.Alt = s.RightAlt = true;
        altGr_ = down;
        break;
    }

    // AltGr holds no Alt modifier on X11; it still counts as the right Alt.
    s.Alt = s.Alt || altGr_;
    s.LeftCtrl = s.LeftCtrl || leftCtrl_;
    s.RightCtrl = s.RightCtrl || rightCtrl_;
    s.LeftAlt = s.LeftAlt || leftAlt_;
    s.RightAlt = s.RightAlt || rightAlt_ || altGr_;
    if (s.Ctrl && !s.LeftCtrl && !s.RightCtrl) s.LeftCtrl = true;
    if (s.Alt && !s.LeftAlt && !s.RightAlt) s.LeftAlt = true;
    return s;
}
