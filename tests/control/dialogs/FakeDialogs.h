// Answers the common dialogs from a script, without a modal loop, and keeps
// what was asked.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "uDialogs.h"

class TFakeDialogs : public TDialogs {
public:
    std::deque<TMsgAnswer> Answers;    // for message boxes; Ok/Yes when empty
    std::deque<std::string> FileNames; // for file dialogs; cancelled when empty
    std::vector<std::string> Messages;
    std::vector<TFileDialogOptions> FileRequests;

    TMsgAnswer MessageBox(const std::string& text, TMsgKind, TMsgButtons buttons,
                          const std::string& = {}) override {
        Messages.push_back(text);
        if (Answers.empty())
            return buttons == TMsgButtons::YesNo ? TMsgAnswer::Yes : TMsgAnswer::Ok;
        TMsgAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
    bool InputQuery(const std::string&, const std::string&, std::string&) override { return false; }
    bool OpenFileName(const TFileDialogOptions& options, std::string& fileName) override {
        return Next(options, fileName);
    }
    bool SaveFileName(const TFileDialogOptions& options, std::string& fileName) override {
        return Next(options, fileName);
    }
    std::deque<TFontChoice> Fonts; // for the font dialog; cancelled when empty
    bool ChooseFont(TFontChoice& font) override {
        if (Fonts.empty()) return false;
        font = Fonts.front();
        Fonts.pop_front();
        return true;
    }

private:
    bool Next(const TFileDialogOptions& options, std::string& fileName) {
        FileRequests.push_back(options);
        if (FileNames.empty()) return false;
        fileName = FileNames.front();
        FileNames.pop_front();
        return true;
    }
};
