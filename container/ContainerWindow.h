// The main window of the container program: it loads the terminal control
// from Velmora.so and shows it in its central area.
//
// Usage (user-interface thread, a QApplication running):
//     TContainerWindow window;
//     if (QString error = window.LoadControl(); !error.isEmpty()) { ...report it... }
//     window.show();
//     QWidget* control = window.ControlWidget(); // the embedded control's window
// LoadControl finds the module through the class's registration in the
// registry stand-in (the InprocServer32 key of the class under
// HKEY_CURRENT_USER\Software\Classes\CLSID) or, when the class is not
// registered, as Velmora.so in the folder of the running program; it
// creates the control through the module's class factory, connects an event
// sink and embeds the control. The window opens where the last one closed,
// while that still fits a screen, else at a default size on the primary
// screen; closing it stores its place in the container's own registry key.
// Closing or destroying the window disconnects,
// detaches and releases the control (its emulator form saves its layout
// then). The control's settings and connections come from the registry
// stand-in, so a caller that wants a registry of its own sets
// CORVALEN_REGISTRY_DIR before LoadControl.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

class TContainerWindow : public QMainWindow {
public:
    explicit TContainerWindow(QWidget* parent = nullptr);
    ~TContainerWindow() override;
    TContainerWindow(const TContainerWindow&) = delete;
    TContainerWindow& operator=(const TContainerWindow&) = delete;

    // Empty on success; otherwise why the control could not be loaded. A
    // second call while a control is embedded does nothing.
    QString LoadControl();
    // Null before a successful LoadControl and after the window closed.
    QWidget* ControlWidget() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct TSite;
    std::unique_ptr<TSite> site_;
};
