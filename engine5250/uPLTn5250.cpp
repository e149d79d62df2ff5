#include "uPLTn5250.h"

#include "uLastError.h"
#include "uPLIntfLogg.h"

TPLTn5250::TPLTn5250(int sessionId) : TPLTelnet(sessionId) {
    SetModel(2);
}

void TPLTn5250::SetModel(int model) {
    TPLTelnet::SetModel(model);
    SetStream(nullptr);
    auto stream = std::make_unique<TPLTn5250stream>(SessionId, Rows(), Cols());
    stream->Display()->OnStatusChange = [this](TPLTndisplay&) { StatusChange(); };
    stream->OnSend = [this](const uint8_t* data, size_t len, const uint8_t* logView) {
        SendStreamRecord(data, len, logView);
    };
    SetStream(std::move(stream));
    TermType = "IBM-3179-2";
}

bool TPLTn5250::SendStreamRecord(const uint8_t* data, size_t len, const uint8_t* logView) {
    const long sent = SendRecord(data, len, logView);
    if (sent < 0) {
        lastSendFailed_ = true;
        lastSendError_ = LastSendErrorText();
    }
    return sent >= 0;
}

bool TPLTn5250::CheckAlive() {
    if (!Connected()) return false;
    return RaiseEvent(ceIsAlive);
}

std::optional<uint8_t> TPLTn5250::AidByte(const std::string& m) {
    if (m.size() < 2 || m[0] != '@') return std::nullopt;
    const char c = m[1];
    if (c >= '1' && c <= '9') return static_cast<uint8_t>(0x31 + (c - '1'));
    if (c >= 'a' && c <= 'c') return static_cast<uint8_t>(0x3A + (c - 'a'));
    if (c >= 'd' && c <= 'o') return static_cast<uint8_t>(0xB1 + (c - 'd'));
    switch (c) {
    case 'C':
        return 0xBD;
    case 'E':
        return 0xF1;
    case 'H':
        return 0xF3;
    case 'u':
        return 0xF4;
    case 'v':
        return 0xF5;
    case 'x':
        return 0x6C;
    case 'y':
        return 0x6E;
    case 'z':
        return 0x6B;
    case 'A':
        break;
    default:
        return std::nullopt;
    }
    if (m.size() < 4 || m[2] != '@') return std::nullopt;
    switch (m[3]) {
    case '<':
        return 0xF8;
    case 'A':
        return 0x3F;
    case 'C':
        return 0x3D;
    case 'F':
        return 0x50;
    case 'H':
        return 0x00;
    case 'L':
        return 0xD9;
    case 'Q':
        return 0x60;
    case 'R':
        return 0xDA;
    case 't':
        return 0xF6;
    default:
        return std::nullopt;
    }
}

int TPLTn5250::SetAid(const std::string& mnemonic) {
    WriteLog(9, Format("%.4d : TPLTn5250.SetAid", SessionId));
    const auto aid = AidByte(mnemonic);
    if (!aid) {
        WriteLog(1, Format("ERROR: hllAid: [%s] desconocida.", mnemonic.c_str()));
        SetLastErrorText("Invalid Aid passed as parameter");
        return -1;
    }
    Stream5250()->PendingAid = *aid;
    lastSendFailed_ = false;
    Stream5250()->SendReply();
    if (lastSendFailed_) {
        SetLastErrorText(lastSendError_);
        return -1;
    }
    return 0;
}

int TPLTn5250::SendSysReq(const std::string& text) {
    // One record carries the request; its buffer on the host holds 8192 bytes.
    constexpr size_t kHostRecordSize = 8192;
    if (text.size() + T5250RecordHeader::kSize > kHostRecordSize) {
        SetLastErrorText("System request text too long");
        return -1;
    }
    std::vector<uint8_t> data;
    data.reserve(text.size());
    for (char c : text)
        data.push_back(Stream5250()->ToEbcdic(static_cast<uint8_t>(c)));
    lastSendFailed_ = false;
    Stream5250()->SendRecord(0x04, 0x00, 0x00, data);
    if (lastSendFailed_) {
        SetLastErrorText(lastSendError_);
        return -1;
    }
    return 0;
}

void TPLTn5250::SetWindows(bool on) {
    useWindows_ = on;
    RefreshHostFields();
}

namespace {
// The display cell where a field of the caller's list starts, or -1.
int FieldStartCell(const THostFields& current, int pos) {
    if (pos < 1) return -1;
    int cell;
    if (current.WindowMode == 1) {
        const int w = current.WinRight - current.WinLeft;
        if (w <= 0) return -1;
        cell = (current.WinTop + (pos - 1) / w) * 80 + current.WinLeft + (pos - 1) % w;
    } else {
        cell = pos - 1;
    }
    return cell >= 0 && cell < TPLTn5250display::kCells ? cell : -1;
}
} // namespace

void TPLTn5250::PutScreenInput(std::span<const uint8_t> fields) {
    TPLTn5250display& display = *Stream5250()->Display5250();
    THostFields input;
    TMemoryStream stream(fields);
    input.LoadFromStream(stream);
    const THostFields& current = HostFields;
    const int p = input.CurPos - 1;
    int cursor = p;
    if (current.WindowMode == 1)
        cursor = (p / 80 + current.WinTop - 1) * 80 + p % 80 + current.WinLeft - 1;
    display.SetCursorPos(cursor);
    for (const auto& field : input.Fields) {
        if (!field->GetAttr().Has(attModified)) continue;
        const int cell = FieldStartCell(current, field->Pos);
        if (cell < 0) continue;
        // The text never runs past the field's own length.
        std::string text = field->Data;
        if (field->Len >= 0 && text.size() > static_cast<size_t>(field->Len))
            text.resize(static_cast<size_t>(field->Len));
        display.PutFieldData(cell, text);
    }
}
