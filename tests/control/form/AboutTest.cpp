// The about box on the offscreen platform: its look, its text, and that it
// closes and opens again as often as asked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "uAbout.h"

namespace {

QPushButton* CloseButton(QWidget& box) {
    for (QPushButton* b : box.findChildren<QPushButton*>())
        if (b->text() == "Close") return b;
    ADD_FAILURE() << "no Close button";
    return nullptr;
}

QStringList LabelLines(QWidget& box) {
    QStringList lines;
    for (QLabel* l : box.findChildren<QLabel*>())
        if (!l->text().isEmpty()) lines << l->text().split('\n');
    return lines;
}

// Runs ShowAbout and presses Close from inside its modal loop; a box that
// will not close is ended by a guard so that the test fails instead of hanging.
bool ShowAndClose(TfrmAbout& box) {
    bool stuck = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        stuck = true;
        box.done(QDialog::Rejected);
    });
    guard.start(3000);
    QTimer::singleShot(0, &box, [&] {
        EXPECT_TRUE(box.isVisible());
        EXPECT_TRUE(box.isModal());
        if (QPushButton* close = CloseButton(box)) close->click();
    });
    box.ShowAbout();
    guard.stop();
    return !stuck && !box.isVisible();
}

TEST(About, ShowsBorderlessBlackWithTheFourLinesOfText) {
    TfrmAbout box;
    box.show();
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);

    const QImage img = box.grab().toImage();
    ASSERT_FALSE(img.isNull());
    for (QPoint corner : {QPoint(0, 0), QPoint(img.width() - 1, img.height() - 1)})
        EXPECT_EQ(img.pixelColor(corner), QColor(Qt::black)) << corner.x() << "," << corner.y();

    QStringList expected;
    for (const char* line : kAboutLines)
        expected << QString::fromLatin1(line);
    EXPECT_EQ(LabelLines(box), expected);
    QPushButton* close = CloseButton(box);
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(close->isVisible());
}

TEST(About, CloseEndsTheModalShowAndTheBoxOpensAgain) {
    TfrmAbout box;
    EXPECT_TRUE(ShowAndClose(box)) << "first showing";
    EXPECT_TRUE(ShowAndClose(box)) << "second showing";
    EXPECT_FALSE(box.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(About, ClickOnBareBackgroundClosesButClickOnTextDoesNot) {
    TfrmAbout box;
    box.show();
    auto* panel = box.findChild<QWidget*>("Panel2");
    auto* text = box.findChild<QLabel*>("Label1");
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(text, nullptr);

    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(box.isVisible()) << "a click on the text closed the box";

    // Just inside the bevel, away from the picture and the button.
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(box.isVisible());
}

} // namespace
