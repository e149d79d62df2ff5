// Qt's key events in the terms of the key map: the Windows virtual-key code
// that the maps use for a Qt key, and which Ctrl and Alt keys are held.
// Runs on the user-interface thread.
#pragma once

#include <QtCore/qnamespace.h>

#include "uKbdMapping.h"

class QKeyEvent;

// The virtual-key code of a Qt key; keypad keys are told apart by
// Qt::KeypadModifier. 0 for a key that has none.
int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// Whether a key pressed with these modifiers types its text. A combination
// with Ctrl or Alt types nothing (it is a command, not a character), but
// AltGr, which composes characters on many keyboards, does.
bool KeyTypesText(Qt::KeyboardModifiers modifiers);

// X11 key symbols of the modifier keys, as QKeyEvent::nativeVirtualKey()
// carries them on X11 and Wayland.
inline constexpr quint32 kXkControlL = 0xFFE3;
inline constexpr quint32 kXkControlR = 0xFFE4;
inline constexpr quint32 kXkAltL = 0xFFE9;
inline constexpr quint32 kXkAltR = 0xFFEA;
inline constexpr quint32 kXkIsoLevel3Shift = 0xFE03; // AltGr

// Whether the running Qt platform hands us X11 key symbols, so that left and
// right Ctrl and Alt can be told apart. Needs a QGuiApplication.
bool PlatformTellsHandsApart();

// Follows the Ctrl and Alt keys through the key events that it sees and
// gives each event its shift state. A Ctrl or Alt key counts as held during
// its own press and release. A hand seen going down but whose modifier a
// later event no longer reports was let go out of our sight (in another
// application) and is forgotten. Ctrl or Alt reported without a hand seen
// counts as the left one, as on a keyboard that cannot tell them apart;
// AltGr counts as the right Alt key.
class TModifierHands {
public:
    TShiftState Observe(const QKeyEvent& event);
    // Forget every hand, e.g. when the application loses the keyboard.
    void Clear();

private:
    bool leftCtrl_ = false;
    bool rightCtrl_ = false;
    bool leftAlt_ = false;
    bool rightAlt_ = false;
    bool altGr_ = false;
};
