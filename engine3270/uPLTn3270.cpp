#include "uPLTn3270.h"

#include <algorithm>

#include "uLastError.h"
#include "uPLIntfLogg.h"

TPLTn3270::TPLTn3270(int sessionId) : TPLTelnet(sessionId) {
    SetModel(2);
}

void TPLTn3270::SetModel(int model) {
    TPLTelnet::SetModel(model);
    SetStream(nullptr);
    auto stream = std::make_unique<TPLTn3270stream>(SessionId, Rows(), Cols());
    stream->Display()->OnStatusChange = [this](TPLTndisplay&) { StatusChange(); };
    stream->OnSend = [this](const uint8_t* data, size_t len, const uint8_t* logView) {
        SendStreamRecord(data, len, logView);
    };
    SetStream(std::move(stream));
    TermType = "IBM-3278-" + std::to_string(model) + "-E";
    deviceSuffix_.clear();
}

void TPLTn3270::SetDeviceName(const std::string& name) {
    deviceName_ = name;
    // An empty name leaves the terminal type as it stands, suffix and all.
    if (name.empty()) return;
    const size_t n = deviceSuffix_.size();
    if (n != 0 && TermType.size() >= n &&
        TermType.compare(TermType.size() - n, n, deviceSuffix_) == 0)
        TermType.resize(TermType.size() - n);
    deviceSuffix_ = "@ " + name;
    TermType += deviceSuffix_;
}

bool TPLTn3270::SendStreamRecord(const uint8_t* data, size_t len, const uint8_t* logView) {
    const long sent = SendRecord(data, len, logView);
    if (sent < 0) {
        lastSendFailed_ = true;
        lastSendError_ = LastSendErrorText();
    }
    return sent >= 0;
}

std::optional<uint8_t> TPLTn3270::AidByte(const std::string& m) {
    if (m.size() < 2 || m[0] != '@') return std::nullopt;
    const char c = m[1];
    if (c >= '1' && c <= '9') return static_cast<uint8_t>(0xF1 + (c - '1'));
    if (c >= 'a' && c <= 'c') return static_cast<uint8_t>(0x7A + (c - 'a'));
    if (c >= 'd' && c <= 'l') return static_cast<uint8_t>(0xC1 + (c - 'd'));
    if (c >= 'm' && c <= 'o') return static_cast<uint8_t>(0x4A + (c - 'm'));
    switch (c) {
    case 'x':
        return aid3270::PA1;
    case 'y':
        return aid3270::PA2;
    case 'z':
        return aid3270::PA3;
    case 'C':
        return aid3270::Clear;
    case 'E':
        return aid3270::Enter;
    case 'A':
        return m == "@A@H" ? 0xF0 : aid3270::NoAid;
    case '+':
        return 0xF4;
    case '%':
        return 0xF5;
    case '&':
        return 0xF6;
    case '\'':
        return 0xF7;
    case '(':
        return 0xF8;
    case ')':
        return 0xF9;
    case '*':
        return 0x7A;
    default:
        return std::nullopt;
    }
}

int TPLTn3270::SetAid(const std::string& mnemonic) {
    TPLTn3270stream* stream = Stream3270();
    if (!stream) return -1;
    const auto aid = AidByte(mnemonic);
    if (!aid) {
        SetLastErrorText("Invalid aid key");
        return -1;
    }
    stream->PendingAid = *aid;
    lastSendFailed_ = false;
    stream->SendModifiedFields();
    // CLEAR empties the screen as it goes: the next key must not send the
    // fields of the screen the user cleared.
    if (*aid == aid3270::Clear) ClearScreen();
    if (lastSendFailed_) {
        SetLastErrorText(lastSendError_);
        return -1;
    }
    return 0;
}

void TPLTn3270::ClearScreen() {
    TPLTn3270display& display = *Stream3270()->Display3270();
    display.Clear();
    display.SetCursorPos(0);
    display.FlushChanges();
    display.Changed = false; // published here, not again at the next record
    GenHostFields();
}

void TPLTn3270::PutScreenInput(std::span<const uint8_t> fields) {
    TPLTn3270display& display = *Stream3270()->Display3270();
    THostFields input;
    TMemoryStream stream(fields);
    input.LoadFromStream(stream);
    display.SetCursorPos(input.CurPos - 1);
    for (const auto& field : input.Fields)
        if (field->GetAttr().Has(attModified))
            display.PutString(field->Pos - 1, field->Len, field->Data);
}

void TPLTn3270::TextReceived(const uint8_t* data, size_t len) {
    // The reader thread's text, for a caller that asks while the disconnection
    // this text may announce is reported.
    SetLastErrorText(std::string(reinterpret_cast<const char*>(data), len));
    TPLTelnet::TextReceived(data, len);
    TPLTn3270display& display = *Stream3270()->Display3270();
    const size_t n = std::min(len, static_cast<size_t>(display.Size() - 1));
    std::copy_n(data, n, display.Chars.begin() + 1);
    GenHostFields();
    display.SetStatus("");
}
