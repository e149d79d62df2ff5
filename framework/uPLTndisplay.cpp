#include "uPLTndisplay.h"

#include "PLError.h"

TPLTndisplay::TPLTndisplay(int sessionId, int rows, int cols)
    : SessionId(sessionId), rows_(rows), cols_(cols), size_(0) {
    if (rows <= 0 || cols <= 0 || rows > kPlaneSize || cols > kPlaneSize ||
        rows * cols > kPlaneSize)
        throw EPLError("invalid screen size");
    size_ = rows * cols;
    SetCursorPos(0);
}

void TPLTndisplay::SetSize(int size) {
    if (size <= 0 || size > kPlaneSize) throw EPLError("invalid screen size");
    size_ = size;
}

void TPLTndisplay::Clear() {
    HeadFlags[0] = 0;
    for (int i = 0; i < size_; ++i) {
        Chars[i] = 0;
        Attrs[i] = kDirty;
        Extra[i] = 0;
    }
}

void TPLTndisplay::ClearStatus() {
    HeadFlags[1] = 0;
    SetStatus("");
}

void TPLTndisplay::FlushChanges() {
    for (int i = 0; i < rows_ * cols_; ++i)
        Attrs[i] &= static_cast<uint8_t>(~kDirty);
    Changed = true;
}

void TPLTndisplay::SetCursorPos(int pos) {
    cursor_ = (pos < 0 || pos >= size_) ? 0 : pos;
    cursorRow_ = static_cast<uint8_t>(cursor_ / cols_ + 1);
    cursorCol_ = static_cast<uint8_t>(cursor_ % cols_ + 1);
}

void TPLTndisplay::SetStatus(const std::string& text) {
    if (text == status_) return;
    status_ = text;
    if (OnStatusChange) OnStatusChange(*this);
}
