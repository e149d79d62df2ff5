#include "uDialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>

namespace {

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}
std::string Bytes(const QString& s) {
    return s.toLatin1().toStdString();
}
QString PathText(const std::string& s) {
    return QFile::decodeName(QByteArray::fromStdString(s));
}
std::string PathBytes(const QString& s) {
    return QFile::encodeName(s).toStdString();
}

QString StartPath(const TFileDialogOptions& options, const std::string& fileName) {
    if (fileName.empty()) return PathText(options.InitialDir);
    if (options.InitialDir.empty() || fileName.find('/') != std::string::npos)
        return PathText(fileName);
    return PathText(options.InitialDir) + QLatin1Char('/') + PathText(fileName);
}

} // namespace

QWidget* TQtDialogs::Parent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return parent_;
}

TMsgAnswer TQtDialogs::MessageBox(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                                  const std::string& caption) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case TMsgKind::Information:
        icon = QMessageBox::Information;
        break;
    case TMsgKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case TMsgKind::Error:
        icon = QMessageBox::Critical;
        break;
    case TMsgKind::Confirmation:
        icon = QMessageBox::Question;
        break;
    }
    QMessageBox::StandardButtons std =
        buttons == TMsgButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
    QMessageBox box(icon, caption.empty() ? QApplication::applicationDisplayName() : Text(caption),
                    Text(text), std, Parent());
    switch (box.exec()) {
    case QMessageBox::Yes:
        return TMsgAnswer::Yes;
    case QMessageBox::No:
        return TMsgAnswer::No;
    case QMessageBox::Ok:
        return TMsgAnswer::Ok;
    default:
        return TMsgAnswer::Cancel;
    }
}

bool TQtDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) {
    bool ok = false;
    QString answer = QInputDialog::getText(Parent(), Text(caption), Text(prompt), QLineEdit::Normal,
                                           Text(value), &ok);
    if (ok) value = Bytes(answer);
    return ok;
}

bool TQtDialogs::OpenFileName(const TFileDialogOptions& options, std::string& fileName) {
    QString chosen =
        QFileDialog::getOpenFileName(Parent(), Text(options.Caption), StartPath(options, fileName),
                                     Text(NameFilter(options.Filter)));
    if (chosen.isEmpty() || !QFileInfo::exists(chosen)) return false;
    fileName = PathBytes(chosen);
    return true;
}

bool TQtDialogs::SaveFileName(const TFileDialogOptions& options, std::string& fileName) {
    QFileDialog dialog(Parent(), Text(options.Caption), StartPath(options, fileName),
                       Text(NameFilter(options.Filter)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (!options.DefaultExt.empty()) dialog.setDefaultSuffix(Text(options.DefaultExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    fileName = PathBytes(dialog.selectedFiles().first());
    return true;
}

bool TQtDialogs::ChooseFont(TFontChoice& font) {
    QFont start(Text(font.Family), font.PointSize);
    start.setBold(font.Bold);
    start.setItalic(font.Italic);
    start.setUnderline(font.Underline);
    start.setStrikeOut(font.StrikeOut);
    bool ok = false;
    QFont chosen =
        QFontDialog::getFont(&ok, start, Parent(), QString(), QFontDialog::MonospacedFonts);
    if (!ok) return false;
    font.FixedPitch = QFontInfo(chosen).fixedPitch();
    font.Family = Bytes(chosen.family());
    font.PointSize = chosen.pointSize() > 0 ? chosen.pointSize() : font.PointSize;
    font.Bold = chosen.bold();
    font.Italic = chosen.italic();
    font.Underline = chosen.underline();
    font.StrikeOut = chosen.strikeOut();
    return true;
}

bool TQtDialogs::PrintDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, Parent());
    return dialog.exec() == QDialog::Accepted;
}

bool TQtDialogs::PrinterSetup(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, Parent());
    return dialog.exec() == QDialog::Accepted;
}
