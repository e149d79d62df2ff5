// The screen buffer both engines specialise: character, attribute and extra
// planes, the cursor, a changed flag and a status text whose changes are
// reported. Runs on the session's reader thread, or on the caller's thread
// under the engine's session lock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

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
