// The 3270 engine's telnet session: plain TN3270 with model 2 (24 x 80) and
// the terminal type "IBM-3278-2-E" (with a device name when one is given),
// attention-key mnemonics turned into AIDs and Read Modified replies, and the
// host-field list rebuilt from the display after every change.
//
// SetAid and PutScreenInput run on the caller's thread under the session
// lock; GenHostFields and TextReceived run on the reader thread, which holds
// the same lock while it processes a block from the host.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "uPLTelnet.h"
#include "uPLTn3270stream.h"

class TPLTn3270 : public TPLTelnet {
public:
    explicit TPLTn3270(int sessionId);

    const std::string& DeviceName() const { return deviceName_; }
    TPLTn3270stream* Stream3270() const { return static_cast<TPLTn3270stream*>(Stream()); }

    void SetModel(int model) override;
    // A name adds the suffix "@ " and the name to the terminal type; a
    // suffix an earlier name added is taken off first. An empty name
    // changes only the device name.
    void SetDeviceName(const std::string& name);
    // 0 when the reply went out; -1 for an unknown mnemonic (last error text
    // "Invalid aid key", nothing sent), for a session without a stream, or
    // for a failed send (the send's error text). CLEAR also clears the screen.
    int SetAid(const std::string& mnemonic);
    // The caller's field-list stream: the cursor (sent as its address plus
    // 1) and the text of every modified field go into the display. A stream
    // that does not read raises EReadError.
    void PutScreenInput(std::span<const uint8_t> fields);
    void GenHostFields() override;

    // The AID of a mnemonic, or none.
    static std::optional<uint8_t> AidByte(const std::string& mnemonic);

protected:
    void TextReceived(const uint8_t* data, size_t len) override;

private:
    // The CLEAR key's local effect: every cell null, no field, the cursor at
    // 0, and the field list that shows it.
    void ClearScreen();
    bool SendStreamRecord(const uint8_t* data, size_t len, const uint8_t* logView);

    std::string deviceName_;
    std::string deviceSuffix_;    // what SetDeviceName added to the terminal type
    bool lastSendFailed_ = false; // under the session lock
    std::string lastSendError_;
};
