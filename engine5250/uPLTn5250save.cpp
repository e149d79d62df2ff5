// SAVE SCREEN and RESTORE SCREEN: the engine's own image of the display,
// which the host keeps and hands back unchanged.
//
// Image: 04 12, cursor row and column (0-based), the window rectangle, the
// character, attribute and extra planes and the field map as run-length
// pairs over 1920 cells, the record count and the records (13 bytes plus
// the field's text each).
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "PLError.h"
#include "uPLIntfLogg.h"
#include "uPLTn5250stream.h"

namespace {

constexpr uint8_t kEscape = 0x04;
constexpr uint8_t kRestoreScreen = 0x12;
constexpr size_t kRecordHead = 13;
// A run holds at most 251 cells.
constexpr int kMaxRun = 251;
constexpr int kImageCells = TPLTn5250display::kCells;

// Appends the plane's pairs. With hidden cells given, the places in out of
// the values whose runs hold one of them go to masked.
void AppendRuns(std::vector<uint8_t>& out, const uint8_t* plane, const uint8_t* hidden = nullptr,
                std::vector<size_t>* masked = nullptr) {
    int pos = 0;
    while (pos < kImageCells) {
        const uint8_t value = plane[pos];
        int run = 1;
        while (run < kMaxRun && pos + run < kImageCells && plane[pos + run] == value)
            ++run;
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(value);
        if (hidden && masked &&
            std::find(hidden + pos, hidden + pos + run, 1) != hidden + pos + run)
            masked->push_back(out.size() - 1);
        pos += run;
    }
}

// 1 for each cell of a field the screen does not show, and for each cell
// holding a character under a screen attribute that hides it (text the host
// wrote outside any field).
std::vector<uint8_t> HiddenCells(const TPLTn5250stream& stream) {
    const TPLTn5250display& d = *stream.Display5250();
    std::vector<uint8_t> hidden(kImageCells, 0);
    for (int c = 0; c < kImageCells; ++c) {
        const TFieldFormatRec* f = d.Field(d.FieldMap[static_cast<size_t>(c)]);
        const uint8_t ch = d.Chars[static_cast<size_t>(c)];
        const bool text = ch != 0 && ch != TPLTn5250display::kAttributeCell;
        hidden[static_cast<size_t>(c)] = (f && f->Hidden()) || (text && stream.HiddenCell(c));
    }
    return hidden;
}

constexpr uint8_t kMaskChar = '*'; // the image holds local characters

// Reads pairs until the image's cells are filled; a run never passes the last
// cell. A null plane consumes the pairs only. Each run's value byte, the
// first cell and the count go to noted when it is given.
void ReadRuns(TByteReader& in, uint8_t* plane,
              const std::function<void(const uint8_t*, int, int)>& noted = {}) {
    int pos = 0;
    while (pos < kImageCells) {
        const int count = in.byte();
        const uint8_t* value = in.current();
        in.byte();
        const int n = std::min(count, kImageCells - pos);
        if (plane) std::fill_n(plane + pos, n, *value);
        if (noted && n > 0) noted(value, pos, n);
        pos += n;
    }
}

} // namespace

std::vector<uint8_t> TPLTn5250stream::BuildSaveImage(std::vector<uint8_t>* logView) const {
    const TPLTn5250display* d = Display5250();
    const int cursor = d->Cursor();
    std::vector<uint8_t> image{kEscape,
                               kRestoreScreen,
                               static_cast<uint8_t>(cursor / TPLTn5250display::kCols),
                               static_cast<uint8_t>(cursor % TPLTn5250display::kCols),
                               static_cast<uint8_t>(d->WinTop()),
                               static_cast<uint8_t>(d->WinLeft()),
                               static_cast<uint8_t>(d->WinBottom()),
                               static_cast<uint8_t>(d->WinRight())};
    const std::vector<uint8_t> hidden = logView ? HiddenCells(*this) : std::vector<uint8_t>();
    std::vector<size_t> masked;
    AppendRuns(image, d->Chars.data(), logView ? hidden.data() : nullptr, &masked);
    AppendRuns(image, d->Attrs.data());
    AppendRuns(image, d->Extra.data());
    AppendRuns(image, d->FieldMap.data());

    image.push_back(static_cast<uint8_t>(d->FieldCount()));
    for (int slot = 1; slot <= TPLTn5250display::kSlots; ++slot) {
        const TFieldFormatRec* f = d->Field(slot);
        if (!f) continue;
        // No field of a 1920-cell screen holds more text than that.
        const size_t length =
            std::min<size_t>({f->Length, TPLTn5250display::kCells, f->Data.size()});
        image.insert(image.end(), {f->FFW1, f->FFW2, f->FCW1, f->FCW2, f->Attribute, f->Row, f->Col,
                                   f->EndRow, f->EndCol, static_cast<uint8_t>(length >> 8),
                                   static_cast<uint8_t>(length), f->RowsSpanned, f->Modified});
        for (size_t i = 0; logView && f->Hidden() && i < length; ++i)
            masked.push_back(image.size() + i);
        image.insert(image.end(), f->Data.begin(), f->Data.begin() + static_cast<long>(length));
    }
    if (logView) {
        *logView = image;
        for (size_t at : masked)
            (*logView)[at] = kMaskChar;
    }
    return image;
}

void TPLTn5250stream::SaveScreen() {
    // The host keeps the image whole; the log is shown it with the text of
    // hidden fields masked, as every reply.
    std::vector<uint8_t> view;
    const std::vector<uint8_t> image = BuildSaveImage(&view);
    SendRecord(0x00, 0x00, op5250::SaveScreen, image, view);
    SetBoundsEmpty();
    ColumnMarkers.fill(0);
}

void TPLTn5250stream::RestoreScreen(TByteReader& in) {
    TPLTn5250display* d = Display5250();
    // An image cut short restores what it holds and ends there, quietly.
    try {
        const int row = in.byte();
        const int col = in.byte();
        d->SetCursorPos(row * TPLTn5250display::kCols + col);
        d->SetWinTop(in.byte());
        d->SetWinLeft(in.byte());
        d->SetWinBottom(in.byte());
        d->SetWinRight(in.byte());

        ReadRuns(in, d->Chars.data(), [this](const uint8_t* value, int pos, int n) {
            NoteWritten(value, 1, pos, static_cast<size_t>(n));
        });
        ReadRuns(in, d->Attrs.data());
        ReadRuns(in, d->Extra.data());

        // The map is rebuilt from the records, so that it names only the
        // fields restored; the image's map is passed over.
        d->FieldMap.fill(0);
        d->ClearFields();
        ReadRuns(in, nullptr);

        const int count = in.byte();
        WriteLog(9, Format("Hay %d fields para recuperar", count));
        d->ClearFields();
        for (int i = 0; i < count && in.remaining() >= kRecordHead; ++i) {
            auto f = d->NewField(0);
            f->FFW1 = in.byte();
            f->FFW2 = in.byte();
            f->FCW1 = in.byte();
            f->FCW2 = in.byte();
            f->Attribute = in.byte();
            f->Row = in.byte();
            f->Col = in.byte();
            f->EndRow = in.byte();
            f->EndCol = in.byte();
            const uint16_t length = in.u16be();
            f->RowsSpanned = in.byte();
            f->Modified = in.byte();
            // A length that claims more than the image holds, or more than the
            // screen, keeps what is really there.
            const auto text = in.take(std::min<size_t>(length, in.remaining()));
            if (f->Hidden()) NoteHidden(text);
            f->Length =
                static_cast<uint16_t>(std::min<size_t>(text.size(), TPLTn5250display::kCells));
            f->FitData();
            std::fill(f->Data.begin(), f->Data.end(), '\0');
            std::copy_n(text.begin(), f->Length, f->Data.begin());
            d->AddField(std::move(f));
        }
        WriteLog(9, "Los fields fueron recuperados");
    } catch (const EReadError&) {}
}
