// ParamDialog: the small modal dialog that edits the parameter text of an
// HTTP connection, shown over the caller's dialog. User-interface thread of
// the process's QApplication; refuses to run anywhere else.
#define PL_ENGINE_MODULE
#include "PLHTTPApi.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QVBoxLayout>

#include "uParamText.h"

namespace {

// The caller's window, when it is one of this application's widgets; any
// other value is not dereferenced and the dialog has no parent.
QWidget* ParentOf(intptr_t parentWindow) {
    if (parentWindow == 0) return nullptr;
    const auto wanted = reinterpret_cast<QWidget*>(parentWindow);
    for (QWidget* w : QApplication::allWidgets())
        if (w == wanted) return w;
    return nullptr;
}

} // namespace

extern "C" uint16_t ParamDialog(intptr_t parentWindow, char* buffer, int32_t size) {
    try {
        if (!buffer || size <= 0) return 0;
        // Widgets need a QApplication, and its thread.
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app || QThread::currentThread() != app->thread()) return 0;

        QDialog dialog(ParentOf(parentWindow));
        dialog.setWindowTitle(QStringLiteral("HTTP parameters"));
        auto* layout = new QVBoxLayout(&dialog);
        auto* label = new QLabel(QStringLiteral("&Parameters:"), &dialog);
        auto* edit = new QLineEdit(&dialog);
        const std::string current = ReadParamText(buffer, size);
        edit->setText(QString::fromLatin1(current.data(), static_cast<qsizetype>(current.size())));
        edit->setMaxLength(size - 1);
        label->setBuddy(edit);
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(label);
        layout->addWidget(edit);
        layout->addWidget(buttons);
        dialog.resize(420, dialog.sizeHint().height());

        if (dialog.exec() != QDialog::Accepted) return 0;
        WriteParamText(buffer, size, edit->text().toLatin1().toStdString());
        return 1;
    } catch (...) {
        return 0;
    }
}
