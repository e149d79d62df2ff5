// The type library of the control: the library Velmora with its fixed
// identifiers, the enumerations, the dual interface IVelmora, the event
// interface IVelmoraEvents and the coclass CVelmora. The description below
// is what the control registers and what drives its Invoke; the same header
// serves a container that drives the control. No Qt.
#pragma once

#include <cstdint>
#include <string>

#include "ComponentControl.h"
#include "ComponentDispatch.h"

inline constexpr uint16_t kVelmoraMajorVersion = 1;
inline constexpr uint16_t kVelmoraMinorVersion = 0;

inline constexpr TGuid LIBID_Velmora{
    0x0DA12184, 0xB219, 0x439E, {0x8D, 0x2B, 0xBC, 0x7B, 0x0C, 0x11, 0xA3, 0x84}};
inline constexpr TGuid IID_IVelmora{
    0x998DBEAD, 0x8DF8, 0x491D, {0x86, 0x43, 0xF8, 0x8F, 0xB1, 0xFA, 0x88, 0xDC}};
inline constexpr TGuid DIID_IVelmoraEvents{
    0x96B5964A, 0x8A5E, 0x4C80, {0xA5, 0xF6, 0xD8, 0x18, 0x21, 0xA0, 0x8B, 0x10}};
inline constexpr TGuid CLASS_Velmora{
    0x803C1177, 0xCE6A, 0x4E95, {0x80, 0xE2, 0x83, 0x48, 0x8B, 0xC5, 0xF1, 0xA3}};
inline constexpr TGuid GUID_TxActiveFormBorderStyle{
    0x451DE281, 0x0CE1, 0x4E98, {0x86, 0x48, 0x5B, 0xB2, 0x27, 0x0B, 0x46, 0x03}};
inline constexpr TGuid GUID_TxPrintScale{
    0x8B5B3985, 0x5BD8, 0x4324, {0xB2, 0xB8, 0xAC, 0x74, 0xDC, 0x5A, 0x51, 0xC3}};
inline constexpr TGuid GUID_TxMouseButton{
    0xB831EAD3, 0x32C2, 0x4118, {0x83, 0x4C, 0x83, 0xD4, 0x5A, 0x55, 0xB9, 0xA3}};
inline constexpr TGuid GUID_TxBiDiMode{
    0x0DBCE4D9, 0x6646, 0x4509, {0xA9, 0x62, 0x7F, 0x99, 0xED, 0x1F, 0xCB, 0xF1}};

enum TxActiveFormBorderStyle : int32_t { afbNone = 0, afbSingle = 1, afbSunken = 2, afbRaised = 3 };
enum TxPrintScale : int32_t { poNone = 0, poProportional = 1, poPrintToFit = 2 };
enum TxMouseButton : int32_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };
enum TxBiDiMode : int32_t {
    bdLeftToRight = 0,
    bdRightToLeft = 1,
    bdRightToLeftNoAlign = 2,
    bdRightToLeftReadingOnly = 3
};

// An automation colour: 0x00BBGGRR, or a system colour 0x800000nn.
using OLE_COLOR = uint32_t;

namespace VelmoraDispId {
inline constexpr DISPID Visible = 1;
inline constexpr DISPID AutoScroll = 2;
inline constexpr DISPID AutoSize = 3;
inline constexpr DISPID AxBorderStyle = 4;
inline constexpr DISPID Caption = -518;
inline constexpr DISPID Color = -501;
inline constexpr DISPID Font = -512;
inline constexpr DISPID KeyPreview = 5;
inline constexpr DISPID PixelsPerInch = 6;
inline constexpr DISPID PrintScale = 7;
inline constexpr DISPID Scaled = 8;
inline constexpr DISPID Active = 9;
inline constexpr DISPID DropTarget = 10;
inline constexpr DISPID HelpFile = 11;
inline constexpr DISPID DoubleBuffered = 12;
inline constexpr DISPID Enabled = -514;
inline constexpr DISPID BiDiMode = 13;
inline constexpr DISPID Cursor = 14;
} // namespace VelmoraDispId

namespace VelmoraEventId {
inline constexpr DISPID OnActivate = 1;
inline constexpr DISPID OnClick = 2;
inline constexpr DISPID OnCreate = 3;
inline constexpr DISPID OnDblClick = 4;
inline constexpr DISPID OnDestroy = 5;
inline constexpr DISPID OnDeactivate = 6;
inline constexpr DISPID OnKeyPress = 10; // Key: 16-bit integer by reference
inline constexpr DISPID OnPaint = 15;
} // namespace VelmoraEventId

// The dual interface: every property by its methods here and by its DISPID
// through Invoke. A WordBool get gives -1 or 0; a WordBool put takes any
// non-zero value as True. Null out-pointers give E_POINTER.
class IVelmora : public IDispatch {
public:
    virtual HRESULT Get_Visible(WordBool* Value) = 0;
    virtual HRESULT Set_Visible(WordBool Value) = 0;
    virtual HRESULT Get_AutoScroll(WordBool* Value) = 0;
    virtual HRESULT Set_AutoScroll(WordBool Value) = 0;
    virtual HRESULT Get_AutoSize(WordBool* Value) = 0;
    virtual HRESULT Set_AutoSize(WordBool Value) = 0;
    virtual HRESULT Get_AxBorderStyle(TxActiveFormBorderStyle* Value) = 0;
    virtual HRESULT Set_AxBorderStyle(TxActiveFormBorderStyle Value) = 0;
    virtual HRESULT Get_Caption(std::u16string* Value) = 0;
    virtual HRESULT Set_Caption(const std::u16string& Value) = 0;
    virtual HRESULT Get_Color(OLE_COLOR* Value) = 0;
    virtual HRESULT Set_Color(OLE_COLOR Value) = 0;
    virtual HRESULT Get_Font(IFontDisp** Value) = 0;
    virtual HRESULT Set_Font(IFontDisp* Value) = 0;  // put: copies the font
    virtual HRESULT _Set_Font(IFontDisp* Value) = 0; // put by reference: copies it too
    virtual HRESULT Get_KeyPreview(WordBool* Value) = 0;
    virtual HRESULT Set_KeyPreview(WordBool Value) = 0;
    virtual HRESULT Get_PixelsPerInch(int32_t* Value) = 0;
    virtual HRESULT Set_PixelsPerInch(int32_t Value) = 0;
    virtual HRESULT Get_PrintScale(TxPrintScale* Value) = 0;
    virtual HRESULT Set_PrintScale(TxPrintScale Value) = 0;
    virtual HRESULT Get_Scaled(WordBool* Value) = 0;
    virtual HRESULT Set_Scaled(WordBool Value) = 0;
    virtual HRESULT Get_Active(WordBool* Value) = 0;
    virtual HRESULT Get_DropTarget(WordBool* Value) = 0;
    virtual HRESULT Set_DropTarget(WordBool Value) = 0;
    virtual HRESULT Get_HelpFile(std::u16string* Value) = 0;
    virtual HRESULT Set_HelpFile(const std::u16string& Value) = 0;
    virtual HRESULT Get_DoubleBuffered(WordBool* Value) = 0;
    virtual HRESULT Set_DoubleBuffered(WordBool Value) = 0;
    virtual HRESULT Get_Enabled(WordBool* Value) = 0;
    virtual HRESULT Set_Enabled(WordBool Value) = 0;
    virtual HRESULT Get_BiDiMode(TxBiDiMode* Value) = 0;
    virtual HRESULT Set_BiDiMode(TxBiDiMode Value) = 0;
    virtual HRESULT Get_Cursor(int16_t* Value) = 0;
    virtual HRESULT Set_Cursor(int16_t Value) = 0;

protected:
    ~IVelmora() = default;
};

extern const TEnumDesc TxActiveFormBorderStyleDesc;
extern const TEnumDesc TxPrintScaleDesc;
extern const TEnumDesc TxMouseButtonDesc;
extern const TEnumDesc TxBiDiModeDesc;
extern const TInterfaceDesc IVelmoraDesc;
extern const TInterfaceDesc IVelmoraEventsDesc;
extern const TCoclassDesc CVelmoraDesc;
extern const TTypeLibDesc VelmoraTypeLib;

// Invoke of IVelmora: the call is checked against IVelmoraDesc, then goes to
// the interface's methods, so both roads give the same results.
HRESULT InvokeVelmora(IVelmora& target, DISPID id, uint16_t flags, TDispParams* params,
                      TVariant* result, TExcepInfo* excep);
