#include "ContainerWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <vector>

#include "ComponentControl.h"
#include "ControlModule.h"
#include "EventSink.h"
#include "Velmora_TLB.h"
#include "WindowPlacement.h"

namespace {

constexpr const char* kTitle = "Corvalen";

QString Text(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

// The screens' available areas, the primary screen's first.
std::vector<TScreenArea> ScreenAreas() {
    std::vector<TScreenArea> areas;
    QScreen* primary = QGuiApplication::primaryScreen();
    auto add = [&areas](QScreen* screen) {
        const QRect r = screen->availableGeometry();
        areas.push_back({r.left(), r.top(), r.width(), r.height()});
    };
    if (primary) add(primary);
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) add(screen);
    return areas;
}

} // namespace

// The control in the window: the module it came from, the references the
// window holds on it and the sink its events go to. Released in the reverse
// order of their making.
struct TContainerWindow::TSite {
    TControlModule module;
    TComPtr<IUnknown> control;
    TComPtr<IEmbedding> embedding;
    TComPtr<IEventSource> events;
    TComPtr<TEventSink> sink;
    uint32_t cookie = 0;
    QWidget* widget = nullptr; // the control's; never deleted here

    void Release() {
        if (events && cookie != 0) events->Unadvise(cookie);
        cookie = 0;
        if (embedding) embedding->Detach();
        widget = nullptr;
        events.Reset();
        embedding.Reset();
        // The last reference: the control fires OnDestroy (to no sink now),
        // closes its emulator form, which saves its layout, and goes.
        control.Reset();
        sink.Reset();
        module.ReleaseIfUnused();
    }
};

TContainerWindow::TContainerWindow(QWidget* parent)
    : QMainWindow(parent), site_(std::make_unique<TSite>()) {
    setWindowTitle(QString::fromLatin1(kTitle));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(central);
    // Where the last run left it, while that still fits a screen.
    const TWindowPlacement placement = InitialPlacement(LoadWindowPlacement(), ScreenAreas());
    const TScreenArea& a = placement.Area;
    setGeometry(a.Left, a.Top, a.Width, a.Height);
    if (placement.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

TContainerWindow::~TContainerWindow() {
    site_->Release();
}

QString TContainerWindow::LoadControl() {
    TSite& site = *site_;
    if (site.control) return {};
    if (std::string error = site.module.Load(CLASS_Velmora); !error.empty()) return Text(error);

    HRESULT hr = site.module.CreateObject(CLASS_Velmora, IID_IUnknown, site.control.Put());
    if (Failed(hr) || !site.control) {
        site.Release();
        return Text("The control could not be created: error " + ResultText(hr));
    }
    site.embedding = QueryAs<IEmbedding>(site.control.Get(), IID_IEmbedding);
    void* window = nullptr;
    if (!site.embedding || Failed(site.embedding->GetWindow(&window)) || !window) {
        site.Release();
        return Text("The control cannot be embedded");
    }

    // A control without events still works; it only tells nothing.
    site.events = QueryAs<IEventSource>(site.control.Get(), IID_IEventSource);
    site.sink = TEventSink::Create();
    if (site.events) site.events->Advise(site.sink.Get(), &site.cookie);

    if (hr = site.embedding->Attach(centralWidget()); Failed(hr)) {
        site.Release();
        return Text("The control cannot be embedded: error " + ResultText(hr));
    }
    site.widget = static_cast<QWidget*>(window);
    centralWidget()->layout()->addWidget(site.widget);
    resize(size().expandedTo(sizeHint()));
    return {};
}

QWidget* TContainerWindow::ControlWidget() const {
    return site_->widget;
}

void TContainerWindow::closeEvent(QCloseEvent* event) {
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    SaveWindowPlacement({{r.left(), r.top(), r.width(), r.height()}, isMaximized()});
    site_->Release();
    event->accept();
}
