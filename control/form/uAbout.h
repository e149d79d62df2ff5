// The control's about box: a borderless black window with our emblem, the
// about text and "Close"; created once and shown modally on request, as
// often as the user asks.
// User-interface thread.
#pragma once

#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QPushButton;

// The about text, one entry a line.
inline constexpr std::array<const char*, 4> kAboutLines{
    "Velmora Terminal Emulator Control",
    "Version 1.0",
    "Build 1",
    "Keldware",
};

class TfrmAbout : public QDialog {
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    // Shows the box modally, not kept above other windows, centred on the screen.
    void ShowAbout();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QFrame* Panel1;
    QFrame* Panel2;
    QWidget* Image1;
    QLabel* Label1;
    QPushButton* Button1;
};
