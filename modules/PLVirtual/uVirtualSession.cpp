#include "uVirtualSession.h"

#include <algorithm>
#include <cstring>

void BuildTemplateFields(const TVirtualScreen& screen, THostFields& fields) {
    fields.Clear();
    // The model the control's 5250 key map goes with, which it uses for a
    // "Virtual" connection.
    fields.TermModel = 3179;
    fields.CurPos = 0;
    fields.WinTop = fields.WinLeft = fields.WinBottom = fields.WinRight = 0;
    fields.WindowMode = 0;
    for (size_t r = 0; r < screen.size(); ++r) {
        auto field = std::make_unique<THostBasicField>();
        field->SetData(screen[r]);
        if (field->Data.empty()) continue;
        // Column 1 has no attribute cell in front of it, so the row shows whole.
        field->Row = static_cast<uint8_t>(r + 1);
        field->Col = 1;
        field->Len = static_cast<int16_t>(kTemplateCols);
        field->Pos = static_cast<int16_t>(r * kTemplateCols + 1);
        field->SetAttr({attProtected, attNormal, attDisplay});
        fields.Add(std::move(field));
    }
}

void TVirtualSession::Open(const std::string& templatePath) {
    const TVirtualScreen screen = LoadVirtualTemplate(templatePath);
    std::lock_guard lock(lock_);
    BuildTemplateFields(screen, fields_);
}

void TVirtualSession::ReportOpened() {
    std::lock_guard lock(lock_);
    Notify(PL_SESSION_CONNECTED);
    Notify(PL_SCREEN_CHANGED);
}

int32_t TVirtualSession::WriteScreen(void* buffer, int32_t bufSize) {
    std::lock_guard lock(lock_);
    if (closed_) return -1;
    TMemoryStream stream;
    fields_.SaveToStream(stream);
    const size_t n = std::min(stream.size(), static_cast<size_t>(bufSize));
    std::memcpy(buffer, stream.data(), n);
    return static_cast<int32_t>(n);
}

int32_t TVirtualSession::Answer() {
    std::lock_guard lock(lock_);
    if (closed_) return -1;
    Notify(PL_SCREEN_CHANGED);
    Notify(PL_KBD_UNLOCKED);
    return 0;
}

bool TVirtualSession::Close() {
    std::lock_guard lock(lock_);
    if (closed_) return false;
    closed_ = true;
    Notify(PL_SESSION_DISCONNECTED);
    return true;
}

bool TVirtualSession::Notify(uint8_t event) {
    return callback_ ? callback_(userData_, event) : true;
}
