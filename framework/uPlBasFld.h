// The host-field model: one field of a host screen, the field list of a whole
// screen, and the field-list stream in which the list crosses the engine
// interface in both directions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uMemoryStream.h"
#include "uTypedValues.h"

enum TAttrTypes : uint8_t {
    attProtected,
    attUnProtected,
    attAlphanumeric,
    attNumeric,
    attAlphabeticOnly,
    attNumericOnly,
    attSignedNumeric,
    attDigits,
    attMagneticStripe,
    attHigh,
    attNormal,
    attInvisible,
    attDisplay,
    attNonDisplay,
    attModified,
    attNonModified,
    attAlphanumericShift,
    attNumericShift,
    attDupEnable,
    attByPass,
    attAutoEnter,
    attFieldExitRequired,
    attMonoCase,
    attMandatory,
    attNoAdjust,
    attRightZero,
    attRightBlank,
    attMandatoryFill,
    attKataShift,
};
inline constexpr int kAttrTypeCount = 29;

// A set of TAttrTypes, member n being bit n. Bits 29 to 31 are never set.
class TFieldAttribute {
public:
    constexpr TFieldAttribute() = default;
    constexpr TFieldAttribute(std::initializer_list<TAttrTypes> members) {
        for (auto m : members)
            bits_ |= 1u << m;
    }
    static constexpr uint32_t kMask = (1u << kAttrTypeCount) - 1;
    static constexpr TFieldAttribute FromInt(uint32_t bits) {
        TFieldAttribute a;
        a.bits_ = bits & kMask;
        return a;
    }
    constexpr uint32_t ToInt() const { return bits_; }
    constexpr bool Has(TAttrTypes m) const { return bits_ & (1u << m); }
    constexpr void Include(TAttrTypes m) { bits_ |= 1u << m; }
    constexpr void Exclude(TAttrTypes m) { bits_ &= ~(1u << m); }
    constexpr bool operator==(const TFieldAttribute&) const = default;

private:
    uint32_t bits_ = 0;
};

// One field of a host screen. Rows, columns and positions are 1-based.
class THostBasicField {
public:
    virtual ~THostBasicField() = default;

    int FieldNo = 0; // in memory only, never streamed
    uint8_t Row = 0;
    uint8_t Col = 0;
    int16_t Len = 0;
    int16_t Pos = 0;
    char Eab = 0; // extended attribute byte, as each engine defines it
    std::string Data;
    std::string Name; // in memory only, never streamed
    uint8_t Reserved = 0;

    // Back to a new field's values; the texts keep their room.
    void Blank();

    virtual TFieldAttribute GetAttr() const { return attr_; }
    virtual void SetAttr(TFieldAttribute value) { attr_ = value; }
    // Stores the text without its trailing blanks and control characters.
    virtual void SetData(const std::string& text);
    virtual std::string GetData() const { return Data; }
    // Copies everything but FieldNo; a null field is ignored.
    virtual void CopyFrom(const THostBasicField* other);
    // Same row and column, and both protected or both unprotected.
    virtual bool SameField(const THostBasicField& other) const;
    // One item of the field-list stream. Eab is read only once a list load has
    // switched the process-wide EabInStream flag on. All or nothing: an item
    // that does not read whole leaves the field unchanged.
    virtual void ReadData(TValueReader& reader);
    // Cuts Data to Len characters first (an empty text for a negative Len).
    virtual void WriteData(TValueWriter& writer);

private:
    TFieldAttribute attr_;
};

using TFieldFactory = std::function<std::unique_ptr<THostBasicField>()>;

// The fields of one screen with the screen-wide values. No lock of its own:
// its owner serialises access.
class THostFields {
public:
    THostFields();

    std::vector<std::unique_ptr<THostBasicField>> Fields;
    bool Filtered = false;
    int16_t TermModel = 0;
    int16_t CurPos = 0;
    uint8_t WinTop = 0, WinLeft = 0, WinBottom = 0, WinRight = 0;
    uint8_t WindowMode = 0;
    std::unique_ptr<THostBasicField> MessageField;

    const std::vector<THostBasicField*>& FilteredFields() const { return filtered_; }

    void Clear();
    // Empties the lists without freeing the fields; the caller has taken them over.
    void ClearLists();
    // Back to a new list's values: no fields, every screen value 0, a blank
    // message field. For a list built again for every screen: the fields
    // are kept for NewField, so building the next list allocates nothing.
    void Reset();
    // A field with a new field's values, one that Reset kept when there is one.
    std::unique_ptr<THostBasicField> NewField();
    // Takes the last field off the list and keeps it for NewField.
    void DropLast();
    int Add(std::unique_ptr<THostBasicField> field);
    // Removes the field from the list and hands it to the caller; an index
    // outside the current view does nothing and gives null.
    std::unique_ptr<THostBasicField> Delete(int index);
    int Count() const;
    THostBasicField* GetField(int index) const;
    bool InWindow(const THostBasicField& field) const;
    void RebuildFilter();
    void SetFiltered(bool on);

    // Writes every field whatever the filter, then rewinds the stream to 0.
    void SaveToStream(TMemoryStream& stream);
    // Appends what it reads to the list (callers Clear first), rewinds the
    // stream to 0. On a read error the values and fields read whole before it
    // stay; the error propagates.
    void LoadFromStream(TMemoryStream& stream, const TFieldFactory& fieldClass = nullptr);

private:
    bool FilterInForce() const { return Filtered && WindowMode != 0; }
    // Keeps a field for NewField; only plain fields, so that NewField never
    // hands out a caller's own kind.
    void Keep(std::unique_ptr<THostBasicField> field);
    std::vector<THostBasicField*> filtered_;
    std::vector<std::unique_ptr<THostBasicField>> kept_; // for NewField
};

// The text of count screen cells into out, a null cell read as a blank; out
// keeps its room.
void CellsToText(std::string& out, const uint8_t* cells, size_t count);

// Process-wide: switched on by the first list load and never off again.
bool EabInStream();
