#include "uAbout.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>

namespace {

// The picture: our own emblem, drawn rather than loaded, so the box needs no
// image file beside the library.
class TAboutPicture : public QWidget {
public:
    explicit TAboutPicture(QWidget* parent) : QWidget(parent) { setFixedSize(420, 180); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), Qt::black);

        // A terminal screen with a cursor block, on the left where the text
        // does not cover it.
        const QRectF screen(24, 30, 140, 100);
        p.setPen(QPen(QColor(0, 200, 90), 3));
        p.setBrush(QColor(0, 40, 20));
        p.drawRoundedRect(screen, 10, 10);
        p.setPen(QPen(QColor(0, 230, 110), 2));
        for (int row = 0; row < 3; ++row) {
            const qreal y = screen.top() + 26 + row * 18;
            p.drawLine(QPointF(screen.left() + 16, y),
                       QPointF(screen.left() + 16 + 70 - row * 20, y));
        }
        p.fillRect(QRectF(screen.left() + 16, screen.top() + 74, 12, 6), QColor(0, 230, 110));

        // The stand and a band across the picture under the text.
        QPainterPath stand;
        stand.moveTo(screen.center().x() - 14, screen.bottom());
        stand.lineTo(screen.center().x() + 14, screen.bottom());
        stand.lineTo(screen.center().x() + 30, screen.bottom() + 20);
        stand.lineTo(screen.center().x() - 30, screen.bottom() + 20);
        stand.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 120, 60));
        p.drawPath(stand);
        p.fillRect(QRectF(180, 150, width() - 200, 3), QColor(0, 120, 60));
    }
};

// Panel2: a click on the panel itself, not on the picture, the text or the
// button, closes the box. Children that ignore a click hand it on to here,
// so the point is tested against them.
class TAboutPanel : public QFrame {
public:
    TAboutPanel(QWidget* parent, QDialog& box) : QFrame(parent), box_(box) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
            box_.reject();
        else
            QFrame::mousePressEvent(event);
    }

private:
    QDialog& box_;
};

void MakeBlack(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::black);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    MakeBlack(this);

    auto* formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::NoFrame);
    MakeBlack(Panel1);
    formLayout->addWidget(Panel1);
    auto* panel1Layout = new QVBoxLayout(Panel1);

    Panel2 = new TAboutPanel(Panel1, *this);
    Panel2->setObjectName("Panel2");
    MakeBlack(Panel2);
    panel1Layout->addWidget(Panel2);
    auto* panel2Layout = new QVBoxLayout(Panel2);
    panel2Layout->setContentsMargins(12, 12, 12, 12);

    Image1 = new TAboutPicture(Panel2);
    Image1->setObjectName("Image1");
    panel2Layout->addWidget(Image1, 0, Qt::AlignHCenter);

    // The text lies over the right part of the picture.
    Label1 = new QLabel(Image1);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setStyleSheet("color: white; background: transparent;");
    Label1->setGeometry(190, 24, Image1->width() - 200, 120);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Button1 = new QPushButton("Close", Panel2);
    Button1->setObjectName("Button1");
    Button1->setVisible(false);
    panel2Layout->addWidget(Button1, 0, Qt::AlignHCenter);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAbout::showEvent(QShowEvent* event) {
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel2->setLineWidth(1);
    // A 2-pixel border of the form's black around the bevelled panel.
    Panel1->layout()->setContentsMargins(2, 2, 2, 2);
    Button1->setVisible(true);
    QStringList lines;
    for (const char* line : kAboutLines)
        lines << QString::fromLatin1(line);
    Label1->setText(lines.join('\n'));
    QDialog::showEvent(event);
}

void TfrmAbout::ShowAbout() {
    // Never kept above other windows, however a caller may have changed it.
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect box(QPoint(), size());
        box.moveCenter(screen->availableGeometry().center());
        move(box.topLeft());
    }
    exec();
}
