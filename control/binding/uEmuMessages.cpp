#include "uEmuMessages.h"

#include <QCoreApplication>
#include <QObject>

void PostEmuMessage(QObject* receiver, QEvent::Type message) {
    if (!receiver) return;
    // The event queue takes ownership of the event.
    QCoreApplication::postEvent(receiver, new QEvent(message));
}

void PostEmuMessage(QObject* receiver, QEvent::Type message, std::string text) {
    if (!receiver) return;
    QCoreApplication::postEvent(receiver, new TEmuTextEvent(message, std::move(text)));
}

std::string EmuMessageText(const QEvent& event) {
    const auto* withText = dynamic_cast<const TEmuTextEvent*>(&event);
    return withText ? withText->Text : std::string();
}
