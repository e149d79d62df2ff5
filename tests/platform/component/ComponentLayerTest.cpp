// The component layer on its own: identifier texts, argument conversion,
// the checks of a late-bound call, the event connection, the server's
// counts and the class factory. No module, no Qt.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "ComponentControl.h"
#include "ComponentDispatch.h"
#include "ComponentRegistration.h"
#include "ComponentServer.h"
#include "Registry.h"
#include "support/TempDir.h"

namespace {

constexpr TGuid kSample{
    0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

// ---- identifiers ----

TEST(GuidText, RoundTripsInUpperCaseAndParsesEitherCase) {
    EXPECT_EQ(kSample.ToString(), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(TGuid::Parse("{01234567-89ab-cdef-0123-456789abcdef}"), kSample);
    EXPECT_EQ(TGuid::Parse(kSample.ToString()), kSample);
}

TEST(GuidText, RefusesAnythingButTheExactForm) {
    for (const char* text : {
             "", "{",
             "01234567-89AB-CDEF-0123-456789ABCDEF",    // no braces
             "{01234567-89AB-CDEF-0123-456789ABCDEF",   // no closing brace
             "{01234567-89AB-CDEF-0123-456789ABCDEF}x", // text after it
             "{01234567-89AB-CDEF-0123-456789ABCDE}",   // a digit short
             "{01234567-89AB-CDEF-0123-456789ABCDEF0}", // a digit more
             "{0123456789AB-CDEF-0123-456789ABCDEF--}", // dash misplaced
             "{01234567-89AB-CDEF-0123-456789ABCDEG}",  // not hex
             "{01234567-89AB-CDEF-0123+456789ABCDEF}",  // wrong separator
             "{-1234567-89AB-CDEF-0123-456789ABCDEF}",  // a sign is no digit
         }) {
        EXPECT_FALSE(TGuid::Parse(text)) << text;
    }
    // A text that stops inside the identifier is refused, not read past.
    const std::string whole = kSample.ToString();
    EXPECT_FALSE(TGuid::Parse(std::string_view(whole).substr(0, 20)));
}

TEST(Latin1Text, CharactersBeyondLatin1BecomeOneQuestionMarkEach) {
    EXPECT_EQ(WideToLatin1(u"Caf\u00e9 \u20ac"), "Caf\xe9 ?");
    // A character outside the 16-bit range is one character, so one '?'.
    EXPECT_EQ(WideToLatin1(u"a\U0001F600b"), "a?b");
    EXPECT_EQ(Latin1ToWide("\xff"), u"\u00ff");
}

// ---- argument conversion ----

struct TCoercion {
    const char* what;
    TVariant in;
    TTypeKind kind;
    HRESULT hr;
    TVarType outType;
    int32_t outValue;
};

TEST(CoerceArgument, ConvertsWhatFitsAndRefusesTheRest) {
    const TCoercion cases[] = {
        {"i2 to i2", TVariant::I2(-5), TTypeKind::I2, S_OK, TVarType::I2, -5},
        {"i4 in range to i2", TVariant::I4(32767), TTypeKind::I2, S_OK, TVarType::I2, 32767},
        {"i4 too large for i2", TVariant::I4(32768), TTypeKind::I2, DISP_E_OVERFLOW,
         TVarType::Empty, 0},
        {"i4 too small for i2", TVariant::I4(-32769), TTypeKind::I2, DISP_E_OVERFLOW,
         TVarType::Empty, 0},
        {"i2 to i4", TVariant::I2(-2), TTypeKind::I4, S_OK, TVarType::I4, -2},
        {"string to i4", TVariant::Str(u"1"), TTypeKind::I4, DISP_E_TYPEMISMATCH, TVarType::Empty,
         0},
        {"empty to i4", TVariant(), TTypeKind::I4, DISP_E_TYPEMISMATCH, TVarType::Empty, 0},
        {"raw true 1", TVariant::Bool(1), TTypeKind::Bool, S_OK, TVarType::Bool, -1},
        {"raw true 0x100", TVariant::Bool(0x100), TTypeKind::Bool, S_OK, TVarType::Bool, -1},
        {"false", TVariant::Bool(0), TTypeKind::Bool, S_OK, TVarType::Bool, 0},
        {"integer as bool", TVariant::I4(7), TTypeKind::Bool, S_OK, TVarType::Bool, -1},
        {"string as bool", TVariant::Str(u"True"), TTypeKind::Bool, DISP_E_TYPEMISMATCH,
         TVarType::Empty, 0},
        {"bool as string", TVariant::Bool(-1), TTypeKind::Str, DISP_E_TYPEMISMATCH, TVarType::Empty,
         0},
        {"enum from i2", TVariant::I2(3), TTypeKind::Enum, S_OK, TVarType::I4, 3},
        {"i2 for a reference", TVariant::I2(1), TTypeKind::I2ByRef, DISP_E_TYPEMISMATCH,
         TVarType::Empty, 0},
        {"null reference", TVariant::I2Ref(nullptr), TTypeKind::I2ByRef, E_POINTER, TVarType::Empty,
         0},
    };
    for (const TCoercion& c : cases) {
        TVariant out;
        EXPECT_EQ(CoerceArgument(c.in, TTypeRef{c.kind}, out), c.hr) << c.what;
        EXPECT_EQ(out.Type(), c.outType) << c.what;
        const int32_t value = out.Type() == TVarType::I2     ? out.AsI2()
                              : out.Type() == TVarType::Bool ? out.AsBool()
                                                             : out.AsI4();
        EXPECT_EQ(value, c.outValue) << c.what;
    }
}

TEST(CoerceArgument, AnInterfaceMustBeTheDeclaredOne) {
    TComPtr<IFontDisp> font = CreateFontObject(TFontDesc{u"Mono", 10});
    const TTypeRef fontType{TTypeKind::Interface, nullptr, &IID_IFontDisp};
    const TTypeRef otherType{TTypeKind::Interface, nullptr, &IID_IClassFactory};
    TVariant out;
    EXPECT_EQ(CoerceArgument(TVariant::Unknown(font.Get()), fontType, out), S_OK);
    EXPECT_EQ(out.AsUnknown(), static_cast<IUnknown*>(font.Get()));
    EXPECT_EQ(CoerceArgument(TVariant::Unknown(font.Get()), otherType, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(CoerceArgument(TVariant::I4(0), fontType, out), DISP_E_TYPEMISMATCH);
}

// ---- calls checked against a description ----

constexpr TEnumMember kColours[] = {{"red", 0}, {"green", 1}};
const TEnumDesc kColourEnum{"TColours", GUID_NULL, kColours};
const TParamDesc kAddParams[] = {{"A", {TTypeKind::I4}}, {"B", {TTypeKind::I2}}};
const TMemberDesc kMembers[] = {
    {"Count", 1, kMemberGet, {TTypeKind::I4}},
    {"Name", 2, kMemberGet | kMemberPut, {TTypeKind::Str}},
    {"Colour", 3, kMemberGet | kMemberPut, {TTypeKind::Enum, &kColourEnum}},
    {"Add", 4, kMemberMethod, {}, kAddParams},
    {"Fails", 5, kMemberGet | kMemberPut, {TTypeKind::I4}},
};
const TInterfaceDesc kDesc{"ISample", kSample, "sample", false, kMembers};

// Records what reaches it; "Fails" fails, by throwing or by its result.
class TSampleTarget final : public TDispatchTarget {
public:
    std::u16string name;
    int32_t sum = 0;
    bool throwOnFail = true;
    int calls = 0;

    HRESULT GetProperty(const TMemberDesc& m, TVariant& value) override {
        ++calls;
        if (m.id == 1) value = TVariant::I4(42);
        if (m.id == 2) value = TVariant::Str(name);
        if (m.id == 5) return Fail();
        return S_OK;
    }
    HRESULT PutProperty(const TMemberDesc& m, const TVariant& value, bool) override {
        ++calls;
        if (m.id == 2) name = value.AsStr();
        if (m.id == 5) return Fail();
        return S_OK;
    }
    HRESULT CallMethod(const TMemberDesc&, std::span<TVariant> args) override {
        ++calls;
        sum = args[0].AsI4() + args[1].AsI2();
        return S_OK;
    }

private:
    HRESULT Fail() {
        if (throwOnFail) return SafeCall([]() -> HRESULT { throw std::runtime_error("broken"); });
        return E_INVALIDARG;
    }
};

HRESULT Call(TSampleTarget& t, DISPID id, uint16_t flags, std::vector<TVariant> args,
             TVariant* result = nullptr, TExcepInfo* excep = nullptr) {
    TDispParams params{args.data(), static_cast<uint32_t>(args.size())};
    return DispatchInvoke(kDesc, t, id, flags, &params, result, excep);
}

TEST(DispatchInvoke, MalformedCallsNeverReachTheTarget) {
    struct TCase {
        const char* what;
        DISPID id;
        uint16_t flags;
        std::vector<TVariant> args;
        bool withResult;
        HRESULT hr;
    };
    const std::vector<TCase> cases = {
        {"unknown member", 99, DISPATCH_PROPERTYGET, {}, true, DISP_E_MEMBERNOTFOUND},
        {"no kind of call", 1, 0, {}, true, E_INVALIDARG},
        {"unknown flag", 1, 0x40, {}, true, E_INVALIDARG},
        {"put of a read-only property",
         1,
         DISPATCH_PROPERTYPUT,
         {TVariant::I4(1)},
         false,
         DISP_E_MEMBERNOTFOUND},
        {"put by reference not offered",
         2,
         DISPATCH_PROPERTYPUTREF,
         {TVariant::Str(u"")},
         false,
         DISP_E_MEMBERNOTFOUND},
        {"a property called as a method", 1, DISPATCH_METHOD, {}, true, DISP_E_MEMBERNOTFOUND},
        {"a method read as a property", 4, DISPATCH_PROPERTYGET, {}, true, DISP_E_MEMBERNOTFOUND},
        {"get with an argument",
         1,
         DISPATCH_PROPERTYGET,
         {TVariant::I4(1)},
         true,
         DISP_E_BADPARAMCOUNT},
        {"get without a result", 1, DISPATCH_PROPERTYGET, {}, false, E_POINTER},
        {"put without a value", 2, DISPATCH_PROPERTYPUT, {}, false, DISP_E_BADPARAMCOUNT},
        {"put with two values",
         2,
         DISPATCH_PROPERTYPUT,
         {TVariant::Str(u"a"), TVariant::Str(u"b")},
         false,
         DISP_E_BADPARAMCOUNT},
        {"put of another type",
         2,
         DISPATCH_PROPERTYPUT,
         {TVariant::I4(1)},
         false,
         DISP_E_TYPEMISMATCH},
        {"method short of an argument",
         4,
         DISPATCH_METHOD,
         {TVariant::I4(1)},
         false,
         DISP_E_BADPARAMCOUNT},
        {"method argument too large",
         4,
         DISPATCH_METHOD,
         {TVariant::I4(1), TVariant::I4(1 << 20)},
         false,
         DISP_E_OVERFLOW},
    };
    for (const TCase& c : cases) {
        TSampleTarget t;
        TVariant result;
        EXPECT_EQ(Call(t, c.id, c.flags, c.args, c.withResult ? &result : nullptr), c.hr) << c.what;
        EXPECT_EQ(t.calls, 0) << c.what;
    }
    // The well-formed call gets through, with its arguments converted.
    TSampleTarget t;
    EXPECT_EQ(Call(t, 4, DISPATCH_METHOD, {TVariant::I2(40), TVariant::I4(2)}), S_OK);
    EXPECT_EQ(t.sum, 42);
    // Arguments announced but not given.
    TDispParams missing{nullptr, 1};
    EXPECT_EQ(DispatchInvoke(kDesc, t, 2, DISPATCH_PROPERTYPUT, &missing, nullptr, nullptr),
              E_POINTER);
}

TEST(DispatchInvoke, AFailingMemberIsReportedAsAnExceptionWithItsText) {
    TSampleTarget t;
    TExcepInfo excep;
    TVariant result;
    EXPECT_EQ(Call(t, 5, DISPATCH_PROPERTYGET, {}, &result, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_FAIL);
    EXPECT_EQ(excep.description, u"broken");

    // A member that fails without raising leaves no stale text behind.
    t.throwOnFail = false;
    TExcepInfo second;
    EXPECT_EQ(Call(t, 5, DISPATCH_PROPERTYPUT, {TVariant::I4(1)}, nullptr, &second),
              DISP_E_EXCEPTION);
    EXPECT_EQ(second.scode, E_INVALIDARG);
    EXPECT_EQ(second.description, u"");
}

// ---- the event connection ----

constexpr TGuid kEventsIid{
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

// A sink that may disconnect itself while an event is delivered.
class TSelfDroppingSink final : public IDispatch {
public:
    TEventConnection* connection = nullptr;
    uint32_t cookie = 0;
    int calls = 0;
    bool alive = true;

    HRESULT QueryInterface(const TGuid& iid, void** out) override {
        if (iid == kEventsIid || iid == IID_IUnknown) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    HRESULT GetIDsOfNames(const char16_t*, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, uint16_t, TDispParams*, TVariant*, TExcepInfo*) override {
        ++calls;
        if (connection) connection->Unadvise(cookie);
        // Still referenced by the call itself.
        EXPECT_GT(refs, 1u);
        return S_OK;
    }
    uint32_t refs = 1;
};

TEST(EventConnection, ASinkThatDisconnectsDuringAnEventStaysAliveThroughIt) {
    TEventConnection c(kEventsIid);
    TSelfDroppingSink sink;
    sink.connection = &c;
    ASSERT_EQ(c.Advise(&sink, &sink.cookie), S_OK);
    EXPECT_EQ(c.Fire(1), S_OK);
    EXPECT_EQ(sink.calls, 1);
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(sink.refs, 1u);
    EXPECT_EQ(c.Fire(1), S_FALSE);
    EXPECT_EQ(sink.calls, 1);
}

// ---- font objects ----

TEST(FontObject, ChangesTheLinkedFontAndRefusesSizesNoRendererDraws) {
    auto link = std::make_shared<TFontLink>();
    link->font = TFontDesc{u"Mono", 10};
    int changes = 0;
    link->Changed = [&](const TFontDesc&) { ++changes; };
    TComPtr<IFontDisp> font = CreateFontObject(link);
    EXPECT_EQ(font->put_Bold(2), S_OK); // any non-zero is True
    EXPECT_TRUE(link->font.Bold);
    EXPECT_EQ(font->put_Size(0), E_INVALIDARG);
    EXPECT_EQ(font->put_Size(kMaxFontPoints + 1), E_INVALIDARG);
    EXPECT_EQ(link->font.Size, 10);
    EXPECT_EQ(changes, 1);
}

// ---- the server and its class factory ----

TClassInfo SampleInfo() {
    TClassInfo info;
    info.clsid = kSample;
    info.className = "Sample";
    info.progId = "Sample.Sample";
    info.description = "Sample class";
    return info;
}

HRESULT MakeFont(const TGuid& iid, void** out) {
    return CreateFontObject(TFontDesc{u"Mono", 9})->QueryInterface(iid, out);
}

HRESULT MakeNothing(const TGuid&, void**) {
    throw std::runtime_error("cannot make it");
}

TEST(ClassFactory, AMakerThatRaisesIsAFailureNotACrash) {
    TComObjectFactory factory(SampleInfo(), &MakeNothing);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST(ComServer, CountsObjectsLocksAndFactoryReferencesWithoutWrappingRound) {
    TComServer& server = TComServer::Instance();
    server.RegisterFactory(SampleInfo(), &MakeFont);
    ASSERT_EQ(server.CanUnloadNow(), S_OK);

    TComPtr<IClassFactory> factory;
    EXPECT_EQ(server.GetClassObject(&kEventsIid, &IID_IClassFactory, factory.Put()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(server.GetClassObject(&kSample, &IID_IClassFactory, factory.Put()), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);

    TComPtr<IFontDisp> font;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IFontDisp, font.Put()), S_OK);
    factory.Reset();
    EXPECT_EQ(server.ObjectCount(), 1u);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    font.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    // A client that releases more than it holds cannot pin the module.
    server.Factory()->Release();
    server.Lock(false);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
    server.Lock(true);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    server.Lock(false);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

// ---- registration ----

class RegistrationLayer : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }
    void TearDown() override { unsetenv("CORVALEN_REGISTRY_DIR"); }
    TTempDir dir_;
};

TEST_F(RegistrationLayer, AProgIdNowNamingAnotherClassIsLeftAlone) {
    TClassInfo info = SampleInfo();
    WriteClassRegistration(info, "/opt/sample.so");
    EXPECT_EQ(RegisteredModulePath(kSample), "/opt/sample.so");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Classes\\Sample.Sample\\CLSID", false));
        reg.WriteString("", kEventsIid.ToString());
    }
    RemoveClassRegistration(info);
    EXPECT_EQ(RegisteredModulePath(kSample), "");
    TRegistry reg;
    EXPECT_TRUE(reg.KeyExists("\\Software\\Classes\\Sample.Sample"));
}

} // namespace
