// Velmora.so through its four exports, as a container drives it: the class
// factory, object identity and reference counts against DllCanUnloadNow,
// and the registration it writes and removes.
#include <filesystem>
#include <thread>

#include "support/VelmoraTestSupport.h"

namespace {

class VelmoraModule : public TRegistryFixture {
protected:
    void TearDown() override {
        // Whatever a test made is gone again by its end.
        EXPECT_EQ(module_.CanUnloadNow(), S_OK);
        TRegistryFixture::TearDown();
    }
    TVelmoraModule module_;
};

TEST_F(VelmoraModule, GivesItsFactoryForItsOwnClassOnly) {
    TComPtr<IClassFactory> factory;
    EXPECT_EQ(module_.GetClassObject(&IID_IVelmora, &IID_IClassFactory, factory.Put()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(factory);
    EXPECT_EQ(module_.GetClassObject(&CLASS_Velmora, &IID_IVelmora, factory.Put()), E_NOINTERFACE);
    EXPECT_EQ(module_.GetClassObject(&CLASS_Velmora, &IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(module_.GetClassObject(nullptr, &IID_IClassFactory, factory.Put()), E_INVALIDARG);
    EXPECT_EQ(module_.GetClassObject(&CLASS_Velmora, &IID_IClassFactory, factory.Put()), S_OK);
    EXPECT_TRUE(factory);
}

TEST_F(VelmoraModule, RefusesToJoinAnAggregate) {
    TComPtr<IClassFactory> factory = module_.Factory();
    TComPtr<TRecordingSink> outer = TRecordingSink::Create();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    // No control was made, so none is left alive.
    factory.Reset();
    EXPECT_EQ(module_.CanUnloadNow(), S_OK);
}

TEST_F(VelmoraModule, AControlAskedForAnInterfaceItLacksIsNotLeftAlive) {
    TComPtr<IClassFactory> factory = module_.Factory();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    factory.Reset();
    EXPECT_EQ(module_.CanUnloadNow(), S_OK);
}

TEST_F(VelmoraModule, AControlAskedForOffTheUserInterfaceThreadIsRefusedNotMade) {
    TComPtr<IClassFactory> factory = module_.Factory();
    HRESULT hr = S_OK;
    void* out = reinterpret_cast<void*>(1);
    // Widgets can only be made on the application's thread.
    std::thread([&] { hr = factory->CreateInstance(nullptr, IID_IUnknown, &out); }).join();
    EXPECT_EQ(hr, E_UNEXPECTED);
    EXPECT_EQ(out, nullptr);
}

TEST_F(VelmoraModule, EveryInterfaceLeadsToTheSameIdentity) {
    TComPtr<IVelmora> control = module_.Create();
    ASSERT_TRUE(control);
    TComPtr<IUnknown> identity = QueryAs<IUnknown>(control.Get(), IID_IUnknown);
    for (const TGuid& iid : {IID_IUnknown, IID_IDispatch, IID_IVelmora, IID_IEventSource,
                             IID_IEmbedding, IID_IInPlaceActiveObject}) {
        TComPtr<IUnknown> asked = QueryAs<IUnknown>(control.Get(), iid);
        ASSERT_TRUE(asked) << iid.ToString();
        TComPtr<IUnknown> back = QueryAs<IUnknown>(asked.Get(), IID_IUnknown);
        EXPECT_EQ(back.Get(), identity.Get()) << iid.ToString();
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(control->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    // The events are the sink's interface, not the control's.
    EXPECT_EQ(control->QueryInterface(DIID_IVelmoraEvents, &out), E_NOINTERFACE);
    EXPECT_EQ(control->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(VelmoraModule, StaysInUseWhileAnObjectALockOrTheFactoryIsHeld) {
    ASSERT_EQ(module_.CanUnloadNow(), S_OK);

    TComPtr<IClassFactory> factory = module_.Factory();
    EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
    ASSERT_EQ(factory->LockServer(1), S_OK);
    factory.Reset();
    EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
    factory = module_.Factory();
    ASSERT_EQ(factory->LockServer(0), S_OK);
    // An unlock too many is not a lock owed.
    ASSERT_EQ(factory->LockServer(0), S_OK);

    TComPtr<IUnknown> control;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, control.Put()), S_OK);
    factory.Reset();
    EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(control->AddRef(), 2u);
    EXPECT_EQ(control->Release(), 1u);

    // A font object handed out is an object of the module too.
    TComPtr<IVelmora> velmora = QueryAs<IVelmora>(control.Get(), IID_IVelmora);
    TComPtr<IFontDisp> font;
    ASSERT_EQ(velmora->Get_Font(font.Out()), S_OK);
    velmora.Reset();
    control.Reset();
    EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
    font.Reset();
    EXPECT_EQ(module_.CanUnloadNow(), S_OK);
}

class VelmoraRegistration : public VelmoraModule {
protected:
    static std::string ClassKey() {
        return "\\Software\\Classes\\CLSID\\" + CLASS_Velmora.ToString();
    }
    static std::string Default(const std::string& key) {
        TRegistry reg;
        return reg.OpenKeyReadOnly(key) ? reg.ReadString("") : "<missing>";
    }
};

TEST_F(VelmoraRegistration, WrittenTwiceIsTheSameAndRemovedLeavesTheHiveAsItWas) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Keldware\\Other", true));
        reg.WriteString("Keep", "1");
        ASSERT_TRUE(reg.OpenKey("\\Software\\Classes\\Unrelated", true));
        reg.WriteString("", "stays");
    }
    const std::vector<std::string> before = DumpUserHive();

    ASSERT_EQ(module_.RegisterServer(), S_OK);
    const std::vector<std::string> once = DumpUserHive();
    ASSERT_EQ(module_.RegisterServer(), S_OK);
    EXPECT_EQ(DumpUserHive(), once);

    EXPECT_EQ(Default(ClassKey()), "Velmora");
    EXPECT_EQ(Default(ClassKey() + "\\InprocServer32"),
              std::filesystem::canonical(kVelmoraPath).string());
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyReadOnly(ClassKey() + "\\InprocServer32"));
        EXPECT_EQ(reg.ReadString("ThreadingModel"), "Apartment");
    }
    EXPECT_EQ(Default(ClassKey() + "\\ProgID"), "Velmora.Velmora");
    EXPECT_EQ(Default(ClassKey() + "\\TypeLib"), LIBID_Velmora.ToString());
    EXPECT_EQ(Default(ClassKey() + "\\Version"), "1.0");
    EXPECT_EQ(Default(ClassKey() + "\\MiscStatus\\1"), std::to_string(0x12000));
    EXPECT_EQ(Default("\\Software\\Classes\\Velmora.Velmora\\CLSID"), CLASS_Velmora.ToString());
    EXPECT_EQ(Default("\\Software\\Classes\\TypeLib\\" + LIBID_Velmora.ToString() + "\\1.0"),
              "Velmora Library");
    EXPECT_EQ(Default("\\Software\\Classes\\Interface\\" + IID_IVelmora.ToString()), "IVelmora");

    ASSERT_EQ(module_.UnregisterServer(), S_OK);
    EXPECT_EQ(DumpUserHive(), before);
    // Removing what is not there is no failure.
    EXPECT_EQ(module_.UnregisterServer(), S_OK);
}

TEST_F(VelmoraRegistration, AHiveThatCannotBeWrittenIsAFailureNotASuccess) {
    // A damaged hive is read-only, never overwritten.
    dir_.write("hkcu.reg", "this is no hive\n");
    EXPECT_EQ(module_.RegisterServer(), SELFREG_E_CLASS);
    EXPECT_EQ(dir_.read("hkcu.reg"), "this is no hive\n");
}

} // namespace
