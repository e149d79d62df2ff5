#include "uScreenProps.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "uScreenGrid.h"

namespace {

// A colour list: every name with a swatch of its colour.
QComboBox* ColorCombo(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    for (const char* colorName : kColorNames) {
        const TColor c = ColorOfName(colorName).value_or(0);
        QPixmap swatch(14, 10);
        swatch.fill(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
        QPainter(&swatch).drawRect(0, 0, 13, 9);
        combo->addItem(QIcon(swatch), QLatin1String(colorName));
    }
    return combo;
}

QButtonGroup* RadioGroup(QWidget* parent, QVBoxLayout* column, const char* caption,
                         const char* name, const char* first, const char* second) {
    auto* box = new QGroupBox(QLatin1String(caption), parent);
    box->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    int id = 0;
    for (const char* text : {first, second}) {
        auto* radio = new QRadioButton(QLatin1String(text), box);
        group->addButton(radio, id++);
        layout->addWidget(radio);
    }
    column->addWidget(box);
    return group;
}

} // namespace

TfEmuProp::TfEmuProp(TDialogs& dialogs, TScreenGrid& view, const std::string& profileName,
                     const std::vector<std::string>& profiles, QWidget* parent)
    : QDialog(parent), view_(view),
      model_(dialogs, view.StyleDetail, view.FontAutoSize(), profileName, profiles) {
    setWindowTitle(QStringLiteral("Screen Properties"));
    setObjectName(QStringLiteral("fEmuProp"));
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    top->addLayout(left);
    top->addLayout(right);

    auto* font = new QGroupBox(QStringLiteral("Font"), this);
    auto* fontRow = new QHBoxLayout(font);
    fontRow->addWidget(new QLabel(QStringLiteral("Name:"), font));
    lbFont_ = new QLabel(font);
    lbFont_->setObjectName(QStringLiteral("lbFont"));
    fontRow->addWidget(lbFont_, 1);
    chkAutoSize_ = new QCheckBox(QStringLiteral("AutoSize"), font);
    chkAutoSize_->setObjectName(QStringLiteral("chkAutoSize"));
    fontRow->addWidget(chkAutoSize_);
    auto* change = new QPushButton(QStringLiteral("Change"), font);
    change->setObjectName(QStringLiteral("Button1"));
    fontRow->addWidget(change);
    left->addWidget(font);

    struct TRow {
        const char* Label;
        TColorSlot Slot;
        const char* Combo;
        int Bold; // -1: none
        const char* Check;
    };
    auto group = [&](const char* caption, std::initializer_list<TRow> rows, bool bold) {
        auto* box = new QGroupBox(QLatin1String(caption), this);
        auto* grid = new QGridLayout(box);
        int r = 0;
        if (bold) grid->addWidget(new QLabel(QStringLiteral("Bold"), box), r++, 2);
        for (const TRow& row : rows) {
            grid->addWidget(new QLabel(QLatin1String(row.Label), box), r, 0);
            colors_[row.Slot] = ColorCombo(box, row.Combo);
            grid->addWidget(colors_[row.Slot], r, 1);
            if (row.Bold >= 0) {
                bolds_[row.Bold] = new QCheckBox(box);
                bolds_[row.Bold]->setObjectName(QLatin1String(row.Check));
                grid->addWidget(bolds_[row.Bold], r, 2);
            }
            ++r;
        }
        left->addWidget(box);
    };
    group("Background Colours",
          {{"Protected:", csBack, "colBack", -1, ""},
           {"Unprotected:", csEditBack, "colEditBack", -1, ""}},
          false);
    group("Foreground Colours",
          {{"Unprotected Normal:", csU, "colU", bsU, "chkUStyle"},
           {"Unprotrected High:", csUH, "colUH", bsUH, "chkUHStyle"},
           {"Protected Normal:", csP, "colP", bsP, "chkPstyle"},
           {"Protected High:", csPH, "colPH", bsPH, "chkPHStyle"}},
          true);
    group("Extended Attribute Mapping",
          {{"Blue:", csBlue, "colBlue", bsBlue, "chkBlueStyle"},
           {"Red:", csRed, "colRed", bsRed, "chkRedStyle"},
           {"Fuchsia:", csPink, "colPink", bsPink, "chkPinkStyle"},
           {"Lime:", csGreen, "colGreen", bsGreen, "chkGreenStyle"},
           {"Aqua:", csTurquoise, "colTurquoise", bsTurquoise, "chkTurquoiseStyle"},
           {"Yellow:", csYellow, "colYellow", bsYellow, "chkYellowStyle"},
           {"White:", csWhite, "colWhite", bsWhite, "chkWhiteStyle"}},
          true);

    rgReverse_ = RadioGroup(this, right, "Reverse Video", "rgReverse", "Normal", "3D");
    rgEdit_ = RadioGroup(this, right, "Unprotected Field", "rgEdit", "Normal", "3D");
    rgCursor_ = RadioGroup(this, right, "Cursor", "rgCursor", "Block", "I-Beam");

    auto* profilesBox = new QGroupBox(QStringLiteral("Profiles"), this);
    auto* pl = new QVBoxLayout(profilesBox);
    cbProfiles_ = new QComboBox(profilesBox);
    cbProfiles_->setObjectName(QStringLiteral("cbProfiles"));
    pl->addWidget(cbProfiles_);
    auto* bAdd = new QPushButton(QStringLiteral("&Add"), profilesBox);
    bAdd->setObjectName(QStringLiteral("bAdd"));
    bSave_ = new QPushButton(QStringLiteral("&Save"), profilesBox);
    bSave_->setObjectName(QStringLiteral("bSave"));
    bDelete_ = new QPushButton(QStringLiteral("&Delete"), profilesBox);
    bDelete_->setObjectName(QStringLiteral("bDelete"));
    for (QPushButton* b : {bAdd, bSave_, bDelete_})
        pl->addWidget(b);
    right->addWidget(profilesBox);

    auto* bOk = new QPushButton(QStringLiteral("&Ok"), this);
    bOk->setObjectName(QStringLiteral("bOk"));
    bOk->setDefault(true);
    auto* bCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    auto* bHelp = new QPushButton(QStringLiteral("&Help"), this);
    bHelp->setObjectName(QStringLiteral("bHelp"));
    for (QPushButton* b : {bOk, bCancel, bHelp})
        right->addWidget(b);
    right->addStretch();

    chkAutoSize_->setChecked(model_.AutoSize);
    ShowModel();

    connect(change, &QPushButton::clicked, this, [this] {
        ReadControls();
        model_.ChangeFont();
        ShowModel();
    });
    connect(cbProfiles_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        ReadControls();
        model_.PickProfile(index);
        ShowModel();
    });
    connect(bAdd, &QPushButton::clicked, this, [this] {
        ReadControls();
        model_.Add();
        ShowModel();
    });
    connect(bSave_, &QPushButton::clicked, this, [this] {
        ReadControls();
        model_.Save();
    });
    connect(bDelete_, &QPushButton::clicked, this, [this] {
        ReadControls();
        model_.Delete();
        ShowModel();
    });
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(bHelp, &QPushButton::clicked, this, [this] {
        if (ShowHelp) ShowHelp("d_screenprop");
    });
}

TfEmuProp::~TfEmuProp() = default;

void TfEmuProp::ShowModel() {
    for (int i = 0; i < kColorSlots; ++i)
        colors_[i]->setCurrentIndex(model_.ColorIndex[i]);
    for (int i = 0; i < kBoldSlots; ++i)
        bolds_[i]->setChecked(model_.Bold[i]);
    rgReverse_->button(model_.Reverse)->setChecked(true);
    rgEdit_->button(model_.Edit)->setChecked(true);
    rgCursor_->button(model_.Cursor)->setChecked(true);
    lbFont_->setText(QString::fromLatin1(model_.DialogFont.Name));
    cbProfiles_->clear();
    for (const std::string& name : model_.Items())
        cbProfiles_->addItem(QString::fromLatin1(name));
    cbProfiles_->setCurrentIndex(model_.ItemIndex());
    bSave_->setEnabled(model_.SaveDeleteEnabled());
    bDelete_->setEnabled(model_.SaveDeleteEnabled());
}

void TfEmuProp::ReadControls() {
    for (int i = 0; i < kColorSlots; ++i)
        model_.ColorIndex[i] = colors_[i]->currentIndex();
    for (int i = 0; i < kBoldSlots; ++i)
        model_.Bold[i] = bolds_[i]->isChecked();
    model_.Reverse = rgReverse_->checkedId();
    model_.Edit = rgEdit_->checkedId();
    model_.Cursor = rgCursor_->checkedId();
    model_.AutoSize = chkAutoSize_->isChecked();
}

void TfEmuProp::Apply(std::vector<std::string>& profiles, std::string& result) {
    ReadControls();
    TScreenPropsResult r = model_.Ok();
    view_.StyleDetail = r.Style;
    view_.SetFontAutoSize(r.FontAutoSize);
    // A font change reaches the grid's refit through the font event.
    QEvent fontChange(QEvent::FontChange);
    QCoreApplication::sendEvent(&view_, &fontChange);
    view_.update();
    profiles = std::move(r.Profiles);
    result = r.ProfileName;
}

bool TfEmuProp::Execute(TDialogs& dialogs, TScreenGrid& view, const std::string& profileName,
                        std::vector<std::string>& profiles, std::string& result) {
    result = profileName;
    TfEmuProp dialog(dialogs, view, profileName, profiles);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.Apply(profiles, result);
    return true;
}
