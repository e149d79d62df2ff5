// The 5250 engine's telnet session: model 2 (24 x 80) with terminal type
// "IBM-3179-2", the idle check answered by the owner, attention-key
// mnemonics turned into AID bytes and replies, system requests, and the
// host-field list rebuilt from the display.
//
// SetAid, SendSysReq and SetWindows run on the caller's thread under the
// session lock; CheckAlive and GenHostFields run on the reader thread.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "uPLTelnet.h"
#include "uPLTn5250stream.h"

class TPLTn5250 : public TPLTelnet {
public:
    explicit TPLTn5250(int sessionId);

    bool UseWindows() const { return useWindows_; }
    TPLTn5250stream* Stream5250() const { return static_cast<TPLTn5250stream*>(Stream()); }

    void SetModel(int model) override;
    bool CheckAlive() override;
    // 0 when the AID byte was sent; -1 for an unknown mnemonic or a failed
    // send (the last error text says which).
    int SetAid(const std::string& mnemonic);
    // 0 when sent; -1 when the text does not fit one record or the send failed.
    int SendSysReq(const std::string& text);
    void SetWindows(bool on);
    // The caller's field-list stream: the cursor (sent as its address plus
    // 1) and the text of every modified field go into the display. Positions
    // of a window-relative list are taken back to screen cells. A stream that
    // does not read raises EReadError.
    void PutScreenInput(std::span<const uint8_t> fields);

    // Host fields: the whole screen, or the inside of a detected window.
    void RefreshHostFields();
    void GenHostFields() override;
    // False when the window's inside is no part of the screen; the list is
    // then left for the whole-screen walk.
    bool GenWinHostFields();

    // The AID byte of a mnemonic, or none.
    static std::optional<uint8_t> AidByte(const std::string& mnemonic);

private:
    // Looks for a bordered window in the area the last host record wrote.
    bool DetectWindow(TPLTn5250display& display);
    // The message field, the model and the log lines of a new list.
    void FinishHostFields();
    // The reply of the last send, so a caller learns that it did not go out.
    bool SendStreamRecord(const uint8_t* data, size_t len, const uint8_t* logView);
    bool useWindows_ = false;
    bool lastSendFailed_ = false; // under the session lock
    std::string lastSendError_;
};
