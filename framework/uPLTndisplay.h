// The screen buffer both engines specialise: character, attribute and extra
// planes, the cursor, a changed flag and a status text whose changes are
// reported. Runs on the session's reader thread, or on the caller's thread
// under the engine's session lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

// Sets or clears one bit in each of n bytes, a machine word at a time: a
// whole plane is flushed with every screen the host sends.
void SetBitInEach(uint8_t* bytes, size_t n, uint8_t bit);
void ClearBitInEach(uint8_t* bytes, size_t n, uint8_t bit);
// memset, out of line: where the compiler knows a bound of the count it puts
// a string instruction in memset's place, which is slow to start.
void FillBytes(uint8_t* bytes, uint8_t value, size_t n);

// Fills n bytes. The cells of a field or of a run of text are a few dozen:
// word stores, the last one overlapping, cost less than a call to memset.
inline void FillCells(uint8_t* cells, uint8_t value, size_t n) {
    constexpr size_t kFewCells = 64;
    const uint64_t word = value * 0x0101010101010101ull;
    if (n > kFewCells) {
        FillBytes(cells, value, n);
    } else if (n >= 8) {
        for (size_t i = 0; i + 8 < n; i += 8)
            std::memcpy(cells + i, &word, 8);
        std::memcpy(cells + n - 8, &word, 8);
    } else if (n >= 4) {
        const auto half = static_cast<uint32_t>(word);
        std::memcpy(cells, &half, 4);
        std::memcpy(cells + n - 4, &half, 4);
    } else if (n >= 2) {
        const auto pair = static_cast<uint16_t>(word);
        std::memcpy(cells, &pair, 2);
        std::memcpy(cells + n - 2, &pair, 2);
    } else if (n == 1) {
        cells[0] = value;
    }
}

class TPLTndisplay {
public:
    // Every model fits: the largest screen is 27 x 132 = 3564 positions.
    static constexpr int kPlaneSize = 4096;
    using TPlane = std::array<uint8_t, kPlaneSize>;
    static constexpr uint8_t kDirty = 0x08; // attribute bit: changed since the last flush

    // Refuses (EPLError) a screen that is empty or larger than the planes.
    TPLTndisplay(int sessionId, int rows, int cols);
    virtual ~TPLTndisplay() = default;

    std::array<uint8_t, 3> HeadFlags{0, 1, 0};
    std::function<void(TPLTndisplay&)> OnStatusChange;
    int SessionId = 0;
    bool Changed = false;

    TPlane Chars{};
    TPlane Attrs{};
    TPlane Extra{};

    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    int Size() const { return size_; }
    int Cursor() const { return cursor_; }
    uint8_t CursorRow() const { return cursorRow_; }
    uint8_t CursorCol() const { return cursorCol_; }
    const std::string& Status() const { return status_; }

    // First head flag 0; every position: character 0, attribute dirty, extra 0.
    virtual void Clear();
    // Second head flag 0, empty status.
    virtual void ClearStatus();
    // Clears every dirty bit and marks the screen changed.
    virtual void FlushChanges();

    // A position outside the screen puts the cursor at 0.
    void SetCursorPos(int pos);
    // Fires OnStatusChange when the text differs from the one held.
    void SetStatus(const std::string& text);

protected:
    // For engines whose cell count follows the model they set.
    void SetSize(int size);

private:
    int rows_, cols_, size_;
    int cursor_ = 0;
    uint8_t cursorRow_ = 1, cursorCol_ = 1;
    std::string status_;
};
