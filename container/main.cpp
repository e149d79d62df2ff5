// corvalen: the container program. It shows the terminal control in its
// window and ends when the window closes.
#include <QApplication>
#include <QMessageBox>

#include <cstdio>

#include "ContainerWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TContainerWindow window;
    const QString error = window.LoadControl();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "corvalen: %s\n", qPrintable(error));
        QMessageBox::critical(nullptr, QStringLiteral("Corvalen"), error);
        return 1;
    }
    window.show();
    return app.exec();
}
