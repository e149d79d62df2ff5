#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "control/dialogs/FakeDialogs.h"
#include "uCodeTableEditor.h"

TEST(CodeTableDialog, EditorOpensWithCaptionAndDefaultTable) {
    TFakeDialogs dialogs;
    TfrmTablasAE editor(dialogs);
    editor.show();
    QPixmap shot = editor.grab();
    EXPECT_FALSE(shot.isNull());
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Convertion table ASCII/EBCDIC"));
    EXPECT_EQ(editor.sgrdValues->item(0x41, 2)->text(), QStringLiteral("C1"));
    EXPECT_EQ(editor.sgrdValues->currentRow(), 0);
    EXPECT_EQ(editor.sgrdValues->currentColumn(), 2);
}

TEST(CodeTableDialog, DoubleClickEditRefreshesBothSwappedRows) {
    TFakeDialogs dialogs;
    TfrmTablasAE editor(dialogs);
    editor.AskEntry = [](uint8_t) { return std::optional<uint8_t>(0x81); };
    editor.sgrdValues->setCurrentCell(0x41, 2);
    emit editor.sgrdValues->cellDoubleClicked(0x41, 2);
    EXPECT_EQ(editor.sgrdValues->item(0x41, 2)->text(), QStringLiteral("81"));
    EXPECT_EQ(editor.sgrdValues->item(0x61, 2)->text(), QStringLiteral("C1"));
}

TEST(CodeTableDialog, EntryEditorStaysOpenOnBadInputAndGivesTheCodeOnOk) {
    TfrmEditAE entry;
    EXPECT_EQ(entry.windowTitle(), QStringLiteral("Conversion character editor"));
    entry.SetValue(0x41);
    EXPECT_EQ(entry.edtNew->text(), QStringLiteral("41"));
    int result = -1;
    QTimer::singleShot(0, &entry, [&] {
        entry.edtNew->setText(QStringLiteral("4"));
        for (auto* b : entry.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("&OK")) b->click();
        EXPECT_TRUE(entry.isVisible()); // "4" is not two hexadecimal digits
        entry.edtNew->setText(QStringLiteral("8a"));
        for (auto* b : entry.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("&OK")) b->click();
    });
    result = entry.exec();
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(entry.NewValue(), 0x8A);
}
