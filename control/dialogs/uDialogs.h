// The common dialogs the control asks the user through: message boxes, an
// input query, file names and a font. The control's logic talks to the
// interface only, so tests answer it without a modal loop; TQtDialogs is
// the one that shows real dialogs. User-interface thread.
#pragma once

#include <string>

class QPrinter;
class QWidget;

enum class TMsgKind { Information, Warning, Error, Confirmation };
enum class TMsgButtons { Ok, YesNo };
enum class TMsgAnswer { Ok, Yes, No, Cancel };

// What a file dialog starts with. The filter uses the "Name (*.ext);;All (*)" form.
// A pattern "*.*" means every file, as the system's dialogs have it.
struct TFileDialogOptions {
    std::string Caption;
    std::string InitialDir;
    std::string Filter;
    std::string DefaultExt; // without the dot; added to a name typed without one
};

// The font dialog offers fixed-pitch fonts only; FixedPitch tells the
// pitch of the font chosen.
struct TFontChoice {
    std::string Family;
    int PointSize = 10;
    bool FixedPitch = true;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// The filter as the toolkit's file dialog reads it: "*.*", which on Linux
// would hide every name without a dot, becomes "*".
inline std::string NameFilter(const std::string& filter) {
    std::string out;
    out.reserve(filter.size());
    for (size_t i = 0; i < filter.size();) {
        const bool starts = i == 0 || filter[i - 1] == '(' || filter[i - 1] == ' ';
        const bool ends = i + 3 == filter.size() ||
                          (i + 3 < filter.size() && (filter[i + 3] == ')' || filter[i + 3] == ' '));
        if (starts && ends && filter.compare(i, 3, "*.*") == 0) {
            out += '*';
            i += 3;
        } else {
            out += filter[i++];
        }
    }
    return out;
}

class TDialogs {
public:
    virtual ~TDialogs() = default;
    virtual TMsgAnswer MessageBox(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                                  const std::string& caption = {}) = 0;
    // True when accepted; value holds the start text and then the answer.
    virtual bool InputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) = 0;
    // True when a file was chosen; fileName holds the start name and then the choice.
    // The open dialog accepts only an existing file.
    virtual bool OpenFileName(const TFileDialogOptions& options, std::string& fileName) = 0;
    virtual bool SaveFileName(const TFileDialogOptions& options, std::string& fileName) = 0;
    // True when a font was chosen; font holds the start font and then the choice.
    virtual bool ChooseFont(TFontChoice& font) = 0;
    // The print dialog and the printer set-up dialog over the printer they
    // configure; true when confirmed. Cancelled unless a dialogs object
    // shows them.
    virtual bool PrintDialog(QPrinter&) { return false; }
    virtual bool PrinterSetup(QPrinter&) { return false; }
};

// The real dialogs, parented to the active modal dialog or else to parent.
// Text is 8-bit (Latin-1); file names are passed as the file system's bytes.
class TQtDialogs : public TDialogs {
public:
    explicit TQtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    TMsgAnswer MessageBox(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                          const std::string& caption = {}) override;
    bool InputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override;
    bool OpenFileName(const TFileDialogOptions& options, std::string& fileName) override;
    bool SaveFileName(const TFileDialogOptions& options, std::string& fileName) override;
    bool ChooseFont(TFontChoice& font) override;
    bool PrintDialog(QPrinter& printer) override;
    bool PrinterSetup(QPrinter& printer) override;

private:
    QWidget* Parent() const;
    QWidget* parent_;
};
