// The control from Velmora.so: its properties through the methods of IVelmora
// and through Invoke by DISPID, its events to a sink, its embedding, and the
// emulator form it hosts, made and freed with it.
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <limits>

#include "support/VelmoraTestSupport.h"

namespace {

namespace D = VelmoraDispId;
namespace E = VelmoraEventId;

QWidget* WidgetOf(IUnknown* control) {
    TComPtr<IEmbedding> embedding = QueryAs<IEmbedding>(control, IID_IEmbedding);
    void* widget = nullptr;
    EXPECT_EQ(embedding->GetWindow(&widget), S_OK);
    return static_cast<QWidget*>(widget);
}

QWidget* PanelOf(IUnknown* control) {
    return WidgetOf(control)->findChild<QWidget*>(QStringLiteral("pnlEmulator"));
}

TVariant Get(IVelmora* control, DISPID id, HRESULT expected = S_OK) {
    TVariant result;
    EXPECT_EQ(control->Invoke(id, DISPATCH_PROPERTYGET, nullptr, &result, nullptr), expected)
        << "get " << id;
    return result;
}

HRESULT Put(IVelmora* control, DISPID id, TVariant value, uint16_t flags = DISPATCH_PROPERTYPUT,
            TExcepInfo* excep = nullptr) {
    TDispParams params{&value, 1};
    return control->Invoke(id, flags, &params, nullptr, excep);
}

class VelmoraControl : public TRegistryFixture {
protected:
    void SetUp() override {
        TRegistryFixture::SetUp();
        control_ = module_.Create();
        ASSERT_TRUE(control_);
        sink_ = TRecordingSink::Create();
    }
    void TearDown() override {
        control_.Reset();
        EXPECT_EQ(module_.CanUnloadNow(), S_OK);
        TRegistryFixture::TearDown();
    }
    uint32_t Advise() {
        TComPtr<IEventSource> source = QueryAs<IEventSource>(control_.Get(), IID_IEventSource);
        uint32_t cookie = 0;
        EXPECT_EQ(source->Advise(sink_.Get(), &cookie), S_OK);
        return cookie;
    }
    // Embeds the control in a shown window of the test's.
    QWidget& Embed() {
        host_ = std::make_unique<QWidget>();
        host_->resize(600, 400);
        TComPtr<IEmbedding> embedding = QueryAs<IEmbedding>(control_.Get(), IID_IEmbedding);
        EXPECT_EQ(embedding->Attach(host_.get()), S_OK);
        host_->show();
        return *host_;
    }

    TVelmoraModule module_;
    TComPtr<IVelmora> control_;
    TComPtr<TRecordingSink> sink_;
    std::unique_ptr<QWidget> host_;
};

// ---- properties ----

using TBoolGet = HRESULT (IVelmora::*)(WordBool*);
using TBoolSet = HRESULT (IVelmora::*)(WordBool);
struct TBoolProp {
    const char* name;
    DISPID id;
    TBoolGet get;
    TBoolSet set;
};
const TBoolProp kBoolProps[] = {
    {"Visible", D::Visible, &IVelmora::Get_Visible, &IVelmora::Set_Visible},
    {"AutoScroll", D::AutoScroll, &IVelmora::Get_AutoScroll, &IVelmora::Set_AutoScroll},
    {"AutoSize", D::AutoSize, &IVelmora::Get_AutoSize, &IVelmora::Set_AutoSize},
    {"KeyPreview", D::KeyPreview, &IVelmora::Get_KeyPreview, &IVelmora::Set_KeyPreview},
    {"Scaled", D::Scaled, &IVelmora::Get_Scaled, &IVelmora::Set_Scaled},
    {"DropTarget", D::DropTarget, &IVelmora::Get_DropTarget, &IVelmora::Set_DropTarget},
    {"DoubleBuffered", D::DoubleBuffered, &IVelmora::Get_DoubleBuffered,
     &IVelmora::Set_DoubleBuffered},
    {"Enabled", D::Enabled, &IVelmora::Get_Enabled, &IVelmora::Set_Enabled},
};

TEST_F(VelmoraControl, AnyNonZeroWordBoolPutIsTrueAndGetsGiveMinusOneOrZero) {
    const WordBool puts[] = {1, -1, 0x100, std::numeric_limits<int16_t>::max(),
                             std::numeric_limits<int16_t>::min()};
    for (const TBoolProp& p : kBoolProps) {
        for (WordBool raw : puts) {
            WordBool got = 7;
            ASSERT_EQ((control_.Get()->*p.set)(0), S_OK);
            ASSERT_EQ((control_.Get()->*p.set)(raw), S_OK) << p.name << " " << raw;
            ASSERT_EQ((control_.Get()->*p.get)(&got), S_OK);
            EXPECT_EQ(got, kWordTrue) << p.name << " " << raw;

            ASSERT_EQ(Put(control_.Get(), p.id, TVariant::Bool(0)), S_OK);
            EXPECT_EQ(Get(control_.Get(), p.id).AsBool(), kWordFalse) << p.name;
            ASSERT_EQ(Put(control_.Get(), p.id, TVariant::Bool(raw)), S_OK) << p.name << " " << raw;
            const TVariant viaInvoke = Get(control_.Get(), p.id);
            EXPECT_EQ(viaInvoke.Type(), TVarType::Bool);
            EXPECT_EQ(viaInvoke.AsBool(), kWordTrue) << p.name << " " << raw;
        }
        WordBool got = 7;
        ASSERT_EQ((control_.Get()->*p.set)(0), S_OK);
        ASSERT_EQ((control_.Get()->*p.get)(&got), S_OK);
        EXPECT_EQ(got, kWordFalse) << p.name;
        EXPECT_EQ((control_.Get()->*p.get)(nullptr), E_POINTER) << p.name;
    }
}

TEST_F(VelmoraControl, InvokeAndTheMethodsSeeTheSameProperties) {
    IVelmora* c = control_.Get();
    struct TCase {
        DISPID id;
        TVariant value;
        std::function<TVariant()> viaMethod;
    };
    const std::vector<TCase> cases = {
        {D::AxBorderStyle, TVariant::I4(afbRaised),
         [&] {
             TxActiveFormBorderStyle v{};
             c->Get_AxBorderStyle(&v);
             return TVariant::I4(v);
         }},
        {D::Caption, TVariant::Str(u"Session A"),
         [&] {
             std::u16string v;
             c->Get_Caption(&v);
             return TVariant::Str(v);
         }},
        {D::Color, TVariant::I4(0x00336699),
         [&] {
             OLE_COLOR v{};
             c->Get_Color(&v);
             return TVariant::I4(static_cast<int32_t>(v));
         }},
        {D::PixelsPerInch, TVariant::I4(120),
         [&] {
             int32_t v{};
             c->Get_PixelsPerInch(&v);
             return TVariant::I4(v);
         }},
        {D::PrintScale, TVariant::I4(poPrintToFit),
         [&] {
             TxPrintScale v{};
             c->Get_PrintScale(&v);
             return TVariant::I4(v);
         }},
        {D::HelpFile, TVariant::Str(u"Corvalen.hlp"),
         [&] {
             std::u16string v;
             c->Get_HelpFile(&v);
             return TVariant::Str(v);
         }},
        {D::BiDiMode, TVariant::I4(bdRightToLeft),
         [&] {
             TxBiDiMode v{};
             c->Get_BiDiMode(&v);
             return TVariant::I4(v);
         }},
        {D::Cursor, TVariant::I2(-21),
         [&] {
             int16_t v{};
             c->Get_Cursor(&v);
             return TVariant::I2(v);
         }},
    };
    for (const TCase& tc : cases) {
        ASSERT_EQ(Put(c, tc.id, tc.value), S_OK) << tc.id;
        const TVariant method = tc.viaMethod();
        const TVariant invoked = Get(c, tc.id);
        EXPECT_EQ(method.Type(), tc.value.Type()) << tc.id;
        EXPECT_EQ(invoked.Type(), tc.value.Type()) << tc.id;
        EXPECT_EQ(method.AsI4() + method.AsI2(), tc.value.AsI4() + tc.value.AsI2()) << tc.id;
        EXPECT_EQ(invoked.AsI4() + invoked.AsI2(), tc.value.AsI4() + tc.value.AsI2()) << tc.id;
        EXPECT_EQ(method.AsStr(), tc.value.AsStr()) << tc.id;
        EXPECT_EQ(invoked.AsStr(), tc.value.AsStr()) << tc.id;
    }
    // The properties that show reach the widget.
    QWidget* w = WidgetOf(c);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Session A"));
    EXPECT_EQ(w->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(0x99, 0x66, 0x33));
    ASSERT_EQ(c->Set_Enabled(0), S_OK);
    EXPECT_FALSE(w->isEnabled());
}

TEST_F(VelmoraControl, StartsWithItsResourceValues) {
    IVelmora* c = control_.Get();
    QWidget* w = WidgetOf(c);
    EXPECT_EQ(w->size(), QSize(544, 375));
    EXPECT_EQ(Get(c, D::Caption).AsStr(), u"Velmora");
    EXPECT_EQ(static_cast<uint32_t>(Get(c, D::Color).AsI4()), 0x8000000Fu);
    EXPECT_EQ(Get(c, D::PixelsPerInch).AsI4(), 96);
    EXPECT_EQ(Get(c, D::Visible).AsBool(), kWordTrue);
    EXPECT_EQ(Get(c, D::Enabled).AsBool(), kWordTrue);
    EXPECT_EQ(Get(c, D::Active).AsBool(), kWordFalse);
    TComPtr<IFontDisp> font;
    ASSERT_EQ(c->Get_Font(font.Out()), S_OK);
    std::u16string name;
    int32_t size = 0;
    font->get_Name(&name);
    font->get_Size(&size);
    EXPECT_EQ(name, u"MS Sans Serif");
    EXPECT_EQ(size, 8);
}

TEST_F(VelmoraControl, MalformedCallsAreRefusedBeforeTheyChangeAnything) {
    IVelmora* c = control_.Get();
    TVariant result;
    EXPECT_EQ(c->Invoke(999, DISPATCH_PROPERTYGET, nullptr, &result, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(c->Invoke(0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Put(c, D::Active, TVariant::Bool(-1)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Put(c, D::Visible, TVariant::Bool(0), DISPATCH_PROPERTYPUTREF),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Put(c, D::Caption, TVariant::I4(5)), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Put(c, D::Visible, TVariant::Str(u"False")), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Put(c, D::Cursor, TVariant::I4(70000)), DISP_E_OVERFLOW);
    EXPECT_EQ(Put(c, D::Font, TVariant::Unknown(sink_.Get())), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(c->Invoke(D::Caption, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr), E_POINTER);
    TVariant two[] = {TVariant::Str(u"a"), TVariant::Str(u"b")};
    TDispParams twoParams{two, 2};
    EXPECT_EQ(c->Invoke(D::Caption, DISPATCH_PROPERTYPUT, &twoParams, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Get(c, D::Caption).AsStr(), u"Velmora");
    EXPECT_EQ(Get(c, D::Visible).AsBool(), kWordTrue);

    DISPID id = 0;
    EXPECT_EQ(c->GetIDsOfNames(u"caption", &id), S_OK);
    EXPECT_EQ(id, D::Caption);
    EXPECT_EQ(c->GetIDsOfNames(u"Connect", &id), DISP_E_UNKNOWNNAME);
}

TEST_F(VelmoraControl, EnumerationValuesOutsideTheirTypeAreRefused) {
    IVelmora* c = control_.Get();
    EXPECT_EQ(c->Set_AxBorderStyle(static_cast<TxActiveFormBorderStyle>(7)), E_INVALIDARG);
    EXPECT_EQ(c->Set_PrintScale(static_cast<TxPrintScale>(-1)), E_INVALIDARG);
    EXPECT_EQ(c->Set_BiDiMode(static_cast<TxBiDiMode>(4)), E_INVALIDARG);
    TExcepInfo excep;
    EXPECT_EQ(Put(c, D::AxBorderStyle, TVariant::I4(4), DISPATCH_PROPERTYPUT, &excep),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    TxActiveFormBorderStyle style{};
    c->Get_AxBorderStyle(&style);
    EXPECT_EQ(style, afbSingle);
}

TEST_F(VelmoraControl, TheCaptionGoesThroughEightBitText) {
    ASSERT_EQ(control_->Set_Caption(u"Caf\u00e9 \u20ac"), S_OK);
    std::u16string caption;
    ASSERT_EQ(control_->Get_Caption(&caption), S_OK);
    EXPECT_EQ(caption, u"Caf\u00e9 ?");
    EXPECT_EQ(control_->Get_Caption(nullptr), E_POINTER);
}

TEST_F(VelmoraControl, TheFontObjectIsTheControlsFontAndAPutCopiesAnother) {
    IVelmora* c = control_.Get();
    QWidget* w = WidgetOf(c);
    TComPtr<IFontDisp> own;
    ASSERT_EQ(c->Get_Font(own.Out()), S_OK);
    ASSERT_EQ(own->put_Bold(-1), S_OK);
    EXPECT_TRUE(w->font().bold());

    TComPtr<IFontDisp> other = CreateFontObject(TFontDesc{u"DejaVu Sans", 12, false, true});
    ASSERT_EQ(Put(c, D::Font, TVariant::Unknown(other.Get()), DISPATCH_PROPERTYPUTREF), S_OK);
    EXPECT_TRUE(w->font().italic());
    EXPECT_EQ(w->font().pointSize(), 12);
    // A copy: changing the caller's object later does not change the control.
    other->put_Size(30);
    EXPECT_EQ(w->font().pointSize(), 12);
    TFontDesc read;
    TVariant got = Get(c, D::Font);
    ASSERT_EQ(ReadFontObject(static_cast<IFontDisp*>(got.AsUnknown()), read), S_OK);
    EXPECT_EQ(read.Name, u"DejaVu Sans");
    EXPECT_EQ(read.Size, 12);

    EXPECT_EQ(c->Set_Font(nullptr), E_POINTER);
    EXPECT_EQ(c->_Set_Font(nullptr), E_POINTER);
    EXPECT_EQ(c->Get_Font(nullptr), E_POINTER);
    TComPtr<IFontDisp> tiny = CreateFontObject(TFontDesc{u"Mono", 0});
    EXPECT_EQ(c->Set_Font(tiny.Get()), E_INVALIDARG);

    // A font object that outlives its control changes only itself.
    got = TVariant();
    control_.Reset();
    EXPECT_EQ(own->put_Italic(-1), S_OK);
    EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
}

// ---- embedding ----

TEST_F(VelmoraControl, VisibleFalseHidesTheControlWithThePanelInIt) {
    Embed();
    QWidget* w = WidgetOf(control_.Get());
    QWidget* panel = PanelOf(control_.Get());
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(panel->isVisible());
    ASSERT_EQ(Put(control_.Get(), D::Visible, TVariant::Bool(0)), S_OK);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(panel->isVisible());
    ASSERT_EQ(control_->Set_Visible(1), S_OK);
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(VelmoraControl, ADetachedControlNeverOpensAWindowOfItsOwn) {
    Embed();
    TComPtr<IEmbedding> embedding = QueryAs<IEmbedding>(control_.Get(), IID_IEmbedding);
    ASSERT_EQ(embedding->Detach(), S_OK);
    EXPECT_EQ(embedding->Detach(), S_FALSE);
    ASSERT_EQ(control_->Set_Visible(-1), S_OK);
    EXPECT_FALSE(WidgetOf(control_.Get())->isVisible());
    EXPECT_EQ(embedding->Attach(nullptr), E_POINTER);
}

TEST_F(VelmoraControl, AContainerWindowDestroyedFirstDoesNotTakeTheControlWithIt) {
    Embed();
    QPointer<QWidget> w = WidgetOf(control_.Get());
    host_.reset();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->parentWidget(), nullptr);
    EXPECT_FALSE(w->isVisible());
    std::u16string caption;
    EXPECT_EQ(control_->Get_Caption(&caption), S_OK);
    control_.Reset();
    EXPECT_FALSE(w);
}

// ---- events ----

TEST_F(VelmoraControl, OnlyOneSinkWithTheEventInterfaceIsConnected) {
    TComPtr<IEventSource> source = QueryAs<IEventSource>(control_.Get(), IID_IEventSource);
    TComPtr<IFontDisp> notASink;
    control_->Get_Font(notASink.Out());
    uint32_t cookie = 0;
    EXPECT_EQ(source->Advise(notASink.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    ASSERT_EQ(source->Advise(sink_.Get(), &cookie), S_OK);
    uint32_t second = 0;
    EXPECT_EQ(source->Advise(sink_.Get(), &second), CONNECT_E_ADVISELIMIT);
    EXPECT_EQ(source->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(source->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink_->Count(), 1u);
    // Disconnected, it hears nothing.
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(WidgetOf(control_.Get()), &activate);
    EXPECT_TRUE(sink_->events.empty());
}

TEST_F(VelmoraControl, ActivationIsForwardedAndShowsInActive) {
    Advise();
    QWidget* w = WidgetOf(control_.Get());
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(w, &activate);
    EXPECT_EQ(sink_->CountOf(E::OnActivate), 1);
    EXPECT_EQ(Get(control_.Get(), D::Active).AsBool(), kWordTrue);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(w, &deactivate);
    EXPECT_EQ(sink_->CountOf(E::OnDeactivate), 1);
    EXPECT_EQ(Get(control_.Get(), D::Active).AsBool(), kWordFalse);
}

TEST_F(VelmoraControl, AClickOnTheFormIsAnEventAndOneOnAWidgetInsideIsNot) {
    Embed();
    Advise();
    QWidget* w = WidgetOf(control_.Get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(0, 5)); // the border
    EXPECT_EQ(sink_->CountOf(E::OnClick), 1);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); // on the panel
    EXPECT_EQ(sink_->CountOf(E::OnClick), 1);
}

class VelmoraKeys : public VelmoraControl {
protected:
    // A line edit inside the control, with the focus.
    QLineEdit& FocusedEdit() {
        QWidget& host = Embed();
        auto* edit = new QLineEdit(WidgetOf(control_.Get()));
        edit->setGeometry(10, 10, 100, 20);
        edit->show();
        host.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&host));
        edit->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == edit; }));
        return *edit;
    }
};

TEST_F(VelmoraKeys, TheSinkChangesOrSwallowsAKeyAndOnlyItsLowByteCounts) {
    Advise();
    ASSERT_EQ(control_->Set_KeyPreview(-1), S_OK);
    QLineEdit& edit = FocusedEdit();

    sink_->answerKey = [](int16_t) { return int16_t{0x141}; };
    QTest::keyClick(&edit, Qt::Key_A);
    EXPECT_EQ(edit.text(), QStringLiteral("A"));

    sink_->answerKey = [](int16_t) { return int16_t{0}; };
    QTest::keyClick(&edit, Qt::Key_B);
    EXPECT_EQ(edit.text(), QStringLiteral("A"));

    sink_->answerKey = nullptr;
    QTest::keyClick(&edit, Qt::Key_C);
    EXPECT_EQ(edit.text(), QStringLiteral("Ac"));
    EXPECT_EQ(sink_->keysSeen, (std::vector<int16_t>{'a', 'b', 'c'}));
}

TEST_F(VelmoraKeys, WithoutKeyPreviewTheKeysOfAWidgetInsideAreNotTheForms) {
    Advise();
    QLineEdit& edit = FocusedEdit();
    sink_->answerKey = [](int16_t) { return int16_t{0}; };
    QTest::keyClick(&edit, Qt::Key_A);
    EXPECT_EQ(edit.text(), QStringLiteral("a"));
    EXPECT_EQ(sink_->CountOf(E::OnKeyPress), 0);
}

// ---- the emulator form ----

TEST_F(VelmoraControl, DestroyingFiresOnDestroyAndSavesTheFormsLayout) {
    Advise();
    QPointer<QWidget> panel = PanelOf(control_.Get());
    ASSERT_TRUE(panel);
    int panelsAtOnDestroy = -1;
    sink_->onEvent = [&](DISPID id) {
        if (id == E::OnDestroy) panelsAtOnDestroy = panel ? 1 : 0;
    };
    control_.Reset();
    EXPECT_EQ(sink_->CountOf(E::OnDestroy), 1);
    // The event comes first, while the form is still there.
    EXPECT_EQ(panelsAtOnDestroy, 1);
    EXPECT_FALSE(panel);
    EXPECT_EQ(sink_->Count(), 1u);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Keldware\\Pallisor\\Corvalen"));
    for (const char* name :
         {"Left", "Width", "Top", "Height", "Menu", "Toolbar", "StatusBar", "KeyPadV"})
        EXPECT_TRUE(reg.ValueExists(name)) << name;
}

TEST_F(VelmoraControl, EachControlHasItsOwnFormAndFreesOnlyThat) {
    TComPtr<IVelmora> second = module_.Create();
    QPointer<QWidget> first = PanelOf(control_.Get());
    QPointer<QWidget> other = PanelOf(second.Get());
    ASSERT_TRUE(first);
    ASSERT_TRUE(other);
    EXPECT_NE(first.data(), other.data());
    control_.Reset();
    EXPECT_FALSE(first);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->parentWidget(), WidgetOf(second.Get()));
    second.Reset();
    EXPECT_FALSE(other);
}

TEST_F(VelmoraControl, ALayoutThatCannotBeSavedStillLetsTheFormGo) {
    Advise();
    QPointer<QWidget> panel = PanelOf(control_.Get());
    // A damaged hive is read-only: the save fails.
    dir_.write("hkcu.reg", "damaged\n");
    control_.Reset();
    EXPECT_EQ(sink_->CountOf(E::OnDestroy), 1);
    EXPECT_FALSE(panel);
    EXPECT_EQ(dir_.read("hkcu.reg"), "damaged\n");
}

} // namespace
