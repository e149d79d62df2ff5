#include "Velmora_TLB.h"

namespace {

constexpr TTypeRef kBool{TTypeKind::Bool};
constexpr TTypeRef kI2{TTypeKind::I2};
constexpr TTypeRef kI4{TTypeKind::I4};
constexpr TTypeRef kStr{TTypeKind::Str};
constexpr TTypeRef kVoid{TTypeKind::Void};

constexpr uint8_t kGetPut = kMemberGet | kMemberPut;

constexpr TEnumMember kBorderStyleMembers[] = {{"afbNone", afbNone},
                                               {"afbSingle", afbSingle},
                                               {"afbSunken", afbSunken},
                                               {"afbRaised", afbRaised}};
constexpr TEnumMember kPrintScaleMembers[] = {
    {"poNone", poNone}, {"poProportional", poProportional}, {"poPrintToFit", poPrintToFit}};
constexpr TEnumMember kMouseButtonMembers[] = {
    {"mbLeft", mbLeft}, {"mbRight", mbRight}, {"mbMiddle", mbMiddle}};
constexpr TEnumMember kBiDiModeMembers[] = {{"bdLeftToRight", bdLeftToRight},
                                            {"bdRightToLeft", bdRightToLeft},
                                            {"bdRightToLeftNoAlign", bdRightToLeftNoAlign},
                                            {"bdRightToLeftReadingOnly", bdRightToLeftReadingOnly}};

} // namespace

const TEnumDesc TxActiveFormBorderStyleDesc{"TxActiveFormBorderStyle", GUID_TxActiveFormBorderStyle,
                                            kBorderStyleMembers};
const TEnumDesc TxPrintScaleDesc{"TxPrintScale", GUID_TxPrintScale, kPrintScaleMembers};
const TEnumDesc TxMouseButtonDesc{"TxMouseButton", GUID_TxMouseButton, kMouseButtonMembers};
const TEnumDesc TxBiDiModeDesc{"TxBiDiMode", GUID_TxBiDiMode, kBiDiModeMembers};

namespace {

namespace D = VelmoraDispId;
namespace E = VelmoraEventId;

// In the interface's order.
const TMemberDesc kVelmoraMembers[] = {
    {"Visible", D::Visible, kGetPut, kBool},
    {"AutoScroll", D::AutoScroll, kGetPut, kBool},
    {"AutoSize", D::AutoSize, kGetPut, kBool},
    {"AxBorderStyle", D::AxBorderStyle, kGetPut, {TTypeKind::Enum, &TxActiveFormBorderStyleDesc}},
    {"Caption", D::Caption, kGetPut, kStr},
    {"Color", D::Color, kGetPut, kI4},
    {"Font", D::Font, kGetPut | kMemberPutRef, {TTypeKind::Interface, nullptr, &IID_IFontDisp}},
    {"KeyPreview", D::KeyPreview, kGetPut, kBool},
    {"PixelsPerInch", D::PixelsPerInch, kGetPut, kI4},
    {"PrintScale", D::PrintScale, kGetPut, {TTypeKind::Enum, &TxPrintScaleDesc}},
    {"Scaled", D::Scaled, kGetPut, kBool},
    {"Active", D::Active, kMemberGet, kBool},
    {"DropTarget", D::DropTarget, kGetPut, kBool},
    {"HelpFile", D::HelpFile, kGetPut, kStr},
    {"DoubleBuffered", D::DoubleBuffered, kGetPut, kBool},
    {"Enabled", D::Enabled, kGetPut, kBool},
    {"BiDiMode", D::BiDiMode, kGetPut, {TTypeKind::Enum, &TxBiDiModeDesc}},
    {"Cursor", D::Cursor, kGetPut, kI2},
};

const TParamDesc kKeyPressParams[] = {{"Key", {TTypeKind::I2ByRef}}};

const TMemberDesc kVelmoraEventMembers[] = {
    {"OnActivate", E::OnActivate, kMemberMethod, kVoid},
    {"OnClick", E::OnClick, kMemberMethod, kVoid},
    {"OnCreate", E::OnCreate, kMemberMethod, kVoid},
    {"OnDblClick", E::OnDblClick, kMemberMethod, kVoid},
    {"OnDestroy", E::OnDestroy, kMemberMethod, kVoid},
    {"OnDeactivate", E::OnDeactivate, kMemberMethod, kVoid},
    {"OnKeyPress", E::OnKeyPress, kMemberMethod, kVoid, kKeyPressParams},
    {"OnPaint", E::OnPaint, kMemberMethod, kVoid},
};

} // namespace

const TInterfaceDesc IVelmoraDesc{"IVelmora", IID_IVelmora,
                                  "Dispatch interface for Velmora Control", false, kVelmoraMembers};
const TInterfaceDesc IVelmoraEventsDesc{"IVelmoraEvents", DIID_IVelmoraEvents,
                                        "Events interface for Velmora Control", true,
                                        kVelmoraEventMembers};
const TCoclassDesc CVelmoraDesc{"CVelmora", CLASS_Velmora, "Velmora Control", &IVelmoraDesc,
                                &IVelmoraEventsDesc};

namespace {

const TInterfaceDesc* const kInterfaces[] = {&IVelmoraDesc, &IVelmoraEventsDesc};
const TEnumDesc* const kEnumerations[] = {&TxActiveFormBorderStyleDesc, &TxPrintScaleDesc,
                                          &TxMouseButtonDesc, &TxBiDiModeDesc};

} // namespace

const TTypeLibDesc VelmoraTypeLib{
    "Velmora", LIBID_Velmora, "Velmora Library", kVelmoraMajorVersion, kVelmoraMinorVersion,
    1033,      kInterfaces,   kEnumerations,     &CVelmoraDesc};

namespace {

using TBoolGet = HRESULT (IVelmora::*)(WordBool*);
using TBoolSet = HRESULT (IVelmora::*)(WordBool);

struct TBoolProperty {
    DISPID id;
    TBoolGet get;
    TBoolSet set; // null: read only
};

const TBoolProperty kBoolProperties[] = {
    {D::Visible, &IVelmora::Get_Visible, &IVelmora::Set_Visible},
    {D::AutoScroll, &IVelmora::Get_AutoScroll, &IVelmora::Set_AutoScroll},
    {D::AutoSize, &IVelmora::Get_AutoSize, &IVelmora::Set_AutoSize},
    {D::KeyPreview, &IVelmora::Get_KeyPreview, &IVelmora::Set_KeyPreview},
    {D::Scaled, &IVelmora::Get_Scaled, &IVelmora::Set_Scaled},
    {D::Active, &IVelmora::Get_Active, nullptr},
    {D::DropTarget, &IVelmora::Get_DropTarget, &IVelmora::Set_DropTarget},
    {D::DoubleBuffered, &IVelmora::Get_DoubleBuffered, &IVelmora::Set_DoubleBuffered},
    {D::Enabled, &IVelmora::Get_Enabled, &IVelmora::Set_Enabled},
};

const TBoolProperty* BoolProperty(DISPID id) {
    for (const TBoolProperty& p : kBoolProperties) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

// Reads a property through its get method into a variant of the given kind.
template <typename T, typename Wrap>
HRESULT Read(IVelmora& target, HRESULT (IVelmora::*get)(T*), TVariant& value, Wrap wrap) {
    T v{};
    const HRESULT hr = (target.*get)(&v);
    if (Succeeded(hr)) value = wrap(v);
    return hr;
}

// The members of IVelmora behind the checks of the generic Invoke.
class TVelmoraDispatch final : public TDispatchTarget {
public:
    explicit TVelmoraDispatch(IVelmora& target) : t_(target) {}

    HRESULT GetProperty(const TMemberDesc& member, TVariant& value) override {
        if (const TBoolProperty* p = BoolProperty(member.id))
            return Read(t_, p->get, value, [](WordBool v) { return TVariant::Bool(v); });
        const auto i4 = [](auto v) { return TVariant::I4(static_cast<int32_t>(v)); };
        const auto str = [](const std::u16string& v) { return TVariant::Str(v); };
        switch (member.id) {
        case D::AxBorderStyle:
            return Read(t_, &IVelmora::Get_AxBorderStyle, value, i4);
        case D::Caption:
            return Read(t_, &IVelmora::Get_Caption, value, str);
        case D::Color:
            return Read(t_, &IVelmora::Get_Color, value, i4);
        case D::Font: {
            IFontDisp* font = nullptr;
            const HRESULT hr = t_.Get_Font(&font);
            if (Failed(hr)) return hr;
            // The variant takes a reference of its own.
            TComPtr<IFontDisp> held = TComPtr<IFontDisp>::Adopt(font);
            value = TVariant::Unknown(held.Get());
            return hr;
        }
        case D::PixelsPerInch:
            return Read(t_, &IVelmora::Get_PixelsPerInch, value, i4);
        case D::PrintScale:
            return Read(t_, &IVelmora::Get_PrintScale, value, i4);
        case D::HelpFile:
            return Read(t_, &IVelmora::Get_HelpFile, value, str);
        case D::BiDiMode:
            return Read(t_, &IVelmora::Get_BiDiMode, value, i4);
        case D::Cursor:
            return Read(t_, &IVelmora::Get_Cursor, value,
                        [](int16_t v) { return TVariant::I2(v); });
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

    HRESULT PutProperty(const TMemberDesc& member, const TVariant& value, bool byRef) override {
        if (const TBoolProperty* p = BoolProperty(member.id))
            return p->set ? (t_.*(p->set))(value.AsBool()) : DISP_E_MEMBERNOTFOUND;
        switch (member.id) {
        case D::AxBorderStyle:
            return t_.Set_AxBorderStyle(static_cast<TxActiveFormBorderStyle>(value.AsI4()));
        case D::Caption:
            return t_.Set_Caption(value.AsStr());
        case D::Color:
            return t_.Set_Color(static_cast<OLE_COLOR>(value.AsI4()));
        case D::Font: {
            // The argument was checked to be a font object (or null).
            IFontDisp* font = static_cast<IFontDisp*>(value.AsUnknown());
            return byRef ? t_._Set_Font(font) : t_.Set_Font(font);
        }
        case D::PixelsPerInch:
            return t_.Set_PixelsPerInch(value.AsI4());
        case D::PrintScale:
            return t_.Set_PrintScale(static_cast<TxPrintScale>(value.AsI4()));
        case D::HelpFile:
            return t_.Set_HelpFile(value.AsStr());
        case D::BiDiMode:
            return t_.Set_BiDiMode(static_cast<TxBiDiMode>(value.AsI4()));
        case D::Cursor:
            return t_.Set_Cursor(value.AsI2());
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

    HRESULT CallMethod(const TMemberDesc&, std::span<TVariant>) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    IVelmora& t_;
};

} // namespace

HRESULT InvokeVelmora(IVelmora& target, DISPID id, uint16_t flags, TDispParams* params,
                      TVariant* result, TExcepInfo* excep) {
    TVelmoraDispatch dispatch(target);
    return DispatchInvoke(IVelmoraDesc, dispatch, id, flags, params, result, excep);
}
