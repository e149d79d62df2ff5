// The control's window messages, as Qt events of its own types with the
// numbers the messages have always had. Posted from any thread, handled on
// the user-interface thread with no parameters.
#pragma once

#include <QEvent>

#include <string>

class QObject;

inline constexpr QEvent::Type WM_EMU_SCREENUPDATE = static_cast<QEvent::Type>(1459); // to the view
inline constexpr QEvent::Type WM_EMU_CONNECTED = static_cast<QEvent::Type>(1460);    // to the form
inline constexpr QEvent::Type WM_EMU_DISCONNECTED = static_cast<QEvent::Type>(1461);
inline constexpr QEvent::Type WM_EMU_HOSTREADY = static_cast<QEvent::Type>(1462);
inline constexpr QEvent::Type WM_EMU_HOSTBUSY = static_cast<QEvent::Type>(1463);

static_assert(WM_EMU_SCREENUPDATE >= QEvent::User && WM_EMU_HOSTBUSY <= QEvent::MaxUser,
              "the control's messages lie in the range Qt leaves to applications");

// Queues the message for the receiver's thread; QCoreApplication::postEvent
// makes this safe from any thread.
void PostEmuMessage(QObject* receiver, QEvent::Type message);

// A message that carries a text to the user-interface thread (the error text
// of a disconnection), so that no field is shared with the posting thread.
class TEmuTextEvent : public QEvent {
public:
    TEmuTextEvent(QEvent::Type message, std::string text)
        : QEvent(message), Text(std::move(text)) {}
    const std::string Text;
};

// Queues the message with its text; any thread.
void PostEmuMessage(QObject* receiver, QEvent::Type message, std::string text);
// The text a message carries; empty for one posted without.
std::string EmuMessageText(const QEvent& event);
