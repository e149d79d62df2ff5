// The "Screen Properties" dialog: thin Qt controls over TScreenPropsModel.
// User-interface thread.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uScreenPropsModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QButtonGroup;
class TScreenGrid;

class TfEmuProp : public QDialog {
public:
    // Shows the view's style; the model is built here, so "Default" is
    // stored when profiles is empty.
    TfEmuProp(TDialogs& dialogs, TScreenGrid& view, const std::string& profileName,
              const std::vector<std::string>& profiles, QWidget* parent = nullptr);
    ~TfEmuProp() override;

    // Runs the dialog modally; on OK applies the style to the view, replaces
    // profiles and sets result to the profile in use. True on OK.
    static bool Execute(TDialogs& dialogs, TScreenGrid& view, const std::string& profileName,
                        std::vector<std::string>& profiles, std::string& result);
    // After the dialog closed with OK.
    void Apply(std::vector<std::string>& profiles, std::string& result);

    // Opens a help topic; "&Help" asks for "d_screenprop". Not set: no help.
    std::function<void(const std::string& topic)> ShowHelp;

private:
    void ShowModel();
    void ReadControls();

    TScreenGrid& view_;
    TScreenPropsModel model_;
    std::array<QComboBox*, kColorSlots> colors_{};
    std::array<QCheckBox*, kBoldSlots> bolds_{};
    QButtonGroup* rgReverse_ = nullptr;
    QButtonGroup* rgEdit_ = nullptr;
    QButtonGroup* rgCursor_ = nullptr;
    QLabel* lbFont_ = nullptr;
    QCheckBox* chkAutoSize_ = nullptr;
    QComboBox* cbProfiles_ = nullptr;
    QPushButton* bSave_ = nullptr;
    QPushButton* bDelete_ = nullptr;
};
