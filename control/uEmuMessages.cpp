#include "uEmuMessages.h"

#include <QCoreApplication>
#include <QObject>

void PostEmuMessage(QObject* receiver, QEvent::Type message) {
    if (!receiver) return;
    // The event queue takes ownership of the event.
    QCoreApplication::postEvent(receiver, new QEvent(message));
}
