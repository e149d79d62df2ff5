// A whole engine session driven by one fuzz input, through the engine's
// exported functions, with the host played inside the process: no socket, no
// reader thread, no sleeping. The host's bytes and the caller's calls
// interleave as the input says, so faults between the interpreter, the
// replies, the host fields and the interface are within reach.
//
// Input: a sequence of steps, each a selector byte and what it takes:
//   0-3  host bytes: everything up to and including the next FF EF (a record
//        end), or the rest of the input;
//   4    GetScreen into a buffer of 1 + 32 * (next byte) bytes;
//   5    SendToScreen: the current screen's input fields typed into (text
//        from the next byte), the cursor at (next byte) * 8, the attention
//        key picked by the next byte;
//   6    SetParams with the parameter item picked by the next byte;
//   7    the system request (5250) with the next byte's text, or, with the
//        low bit of the next byte set, Disconnect and Connect again.
// The engine's exports are defined in the target's binary itself.
#pragma once

#define PL_ENGINE_MODULE
#include "PLEngineApi.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "uMemoryStream.h"
#include "uPLTelnet.h"
#include "uPlBasFld.h"
#include "uTcpSocket.h"

namespace fuzz {

// What the engine sends must be whole telnet units: an option command, a
// subnegotiation, or a record with its 0xFF bytes doubled and IAC EOR.
FUZZ_UNTRACED inline void CheckSent(const uint8_t* data, size_t len) {
    Check(len >= 2);
    if (data[0] == 0xFF && data[1] != 0xFF) return; // negotiation
    Check(data[len - 2] == 0xFF && data[len - 1] == 0xEF);
    for (size_t i = 0; i + 2 < len; ++i) {
        if (data[i] != 0xFF) continue;
        Check(data[i + 1] == 0xFF);
        ++i;
    }
}

// The host inside the process: what the session sends is checked and
// dropped; what the input says the host sends is handed to the session as
// its reader would hand it over.
class TInProcessTransport;

// The transport of the current connection, while its session lives.
inline TInProcessTransport*& CurrentHost() {
    static TInProcessTransport* host = nullptr;
    return host;
}

class TInProcessTransport : public TTransport {
public:
    TInProcessTransport() { CurrentHost() = this; }
    ~TInProcessTransport() override {
        if (CurrentHost() == this) CurrentHost() = nullptr;
    }
    void Open(const std::string&, const TPortChoice&, const TSocketLimits&) override {
        open_ = true;
    }
    bool IsOpen() const override { return open_; }
    int Fd() const override { return -1; }
    long Send(const uint8_t* data, size_t len, int* error) override {
        if (!open_) {
            if (error) *error = ENOTCONN;
            return -1;
        }
        CheckSent(data, len);
        return static_cast<long>(len);
    }
    void Shutdown() override { open_ = false; }
    void Close() override { open_ = false; }
    void Attach(const std::weak_ptr<TPLTelnet>& session) override { session_ = session; }

    // The host's bytes, received in one block. As the reader does, the
    // session is closed when it ended the connection itself (a refused
    // terminal type, a failed send) or the host runs away.
    void Deliver(std::span<const uint8_t> bytes) {
        auto session = session_.lock();
        if (!session || !open_) return;
        {
            std::lock_guard lock(session->SessionLock);
            session->NewData(bytes.data(), bytes.size());
        }
        if (!open_ || session->RunningAway()) session->CloseSession();
    }

private:
    bool open_ = false;
    std::weak_ptr<TPLTelnet> session_;
};

inline void InstallInProcessHost() {
    static const bool installed = [] {
        SetTransportFactory([] { return std::make_unique<TInProcessTransport>(); });
        return true;
    }();
    (void)installed;
}

// What differs between the engines.
struct TEngineTraits {
    std::vector<const char*> Keys;                // attention-key mnemonics, some unknown
    std::vector<const char*> Params;              // parameter items
    TSendSystemRequestFn SystemRequest = nullptr; // the 5250 engine's only
};

// The caller's side: events counted, and none may come once Disconnect
// has returned.
struct TCaller {
    bool ended = false;        // the session reported its disconnection
    bool disconnected = false; // Disconnect has returned
    static bool Callback(intptr_t user, uint8_t event) {
        auto* self = reinterpret_cast<TCaller*>(user);
        Check(!self->disconnected && !self->ended);
        Check(event <= PL_IS_ALIVE);
        if (event == PL_SESSION_DISCONNECTED) self->ended = true;
        return true;
    }
};

class TSessionDriver {
public:
    explicit TSessionDriver(const TEngineTraits& traits) : traits_(traits) {
        InstallInProcessHost();
    }

    void Run(std::span<const uint8_t> input) {
        Open();
        TByteCursor in{input};
        while (!in.Empty()) {
            const uint8_t step = in.Byte();
            if (step < 4) {
                const TCut cut = NextRecord(in.Rest());
                const size_t taken = in.Rest().size() - cut.rest.size();
                if (CurrentHost()) CurrentHost()->Deliver(in.Rest().first(taken));
                in.Skip(taken);
            } else if (step == 4) {
                FetchScreen(1 + 32 * in.Byte());
            } else if (step == 5) {
                Type(in.Byte(), in.Byte(), in.Byte());
            } else if (step == 6) {
                const std::string item = traits_.Params[in.Byte() % traits_.Params.size()];
                Check(SetParams(handle_, item.c_str()) >= -1);
            } else {
                const uint8_t b = in.Byte();
                if (b & 1) {
                    Close();
                    Open();
                } else if (traits_.SystemRequest) {
                    const std::string text(1 + b % 16, static_cast<char>('A' + b % 26));
                    traits_.SystemRequest(handle_, text.c_str());
                }
            }
        }
        Close();
    }

private:
    // A cursor over the input that reads 0 past its end.
    struct TByteCursor {
        std::span<const uint8_t> bytes;
        bool Empty() const { return bytes.empty(); }
        uint8_t Byte() {
            if (bytes.empty()) return 0;
            const uint8_t b = bytes.front();
            bytes = bytes.subspan(1);
            return b;
        }
        std::span<const uint8_t> Rest() const { return bytes; }
        void Skip(size_t n) { bytes = bytes.subspan(n); }
    };

    void Open() {
        caller_ = std::make_unique<TCaller>();
        handle_ =
            Connect("fuzz.host", reinterpret_cast<intptr_t>(caller_.get()), &TCaller::Callback);
        Check(handle_ > 0); // every input gives its handle back
    }

    void Close() {
        if (handle_ <= 0) return;
        // A session that ended on its own has given its handle back.
        const bool ended = caller_->ended;
        const int32_t result = Disconnect(handle_);
        Check(result == (ended ? -1 : 0));
        caller_->disconnected = true;
        // Released: every call with the handle now fails.
        char buffer[16];
        Check(GetScreen(handle_, buffer, sizeof buffer) == -1);
        handle_ = -1;
    }

    // The screen as the control fetches it; a stream cut to the buffer
    // reports the whole buffer, and a stream that fits loads whole.
    std::unique_ptr<THostFields> FetchScreen(int32_t size) {
        std::vector<uint8_t>& buffer = screenBuffer_;
        if (buffer.size() < static_cast<size_t>(size)) buffer.resize(static_cast<size_t>(size));
        const int32_t n = GetScreen(handle_, buffer.data(), size);
        Check(n >= -1 && n <= size);
        if (n <= 0 || n == size) return nullptr;
        auto list = std::make_unique<THostFields>();
        TMemoryStream stream(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
        list->LoadFromStream(stream); // a failure here escapes: a finding
        return list;
    }

    // The user types into every input field and presses a key.
    void Type(uint8_t text, uint8_t cursor, uint8_t key) {
        auto list = FetchScreen(64 * 1024);
        if (!list) return;
        THostFields input;
        for (auto& f : list->Fields) {
            if (!f->GetAttr().Has(attUnProtected)) continue;
            auto typed = std::make_unique<THostBasicField>();
            typed->CopyFrom(f.get());
            typed->Data = std::string(1 + text % 7, static_cast<char>(0x20 + text % 0x5F));
            auto attr = typed->GetAttr();
            attr.Include(attModified);
            typed->SetAttr(attr);
            input.Add(std::move(typed));
        }
        input.CurPos = static_cast<int16_t>(cursor * 8);
        TMemoryStream stream;
        input.SaveToStream(stream);
        const int32_t result = SendToScreen(handle_, traits_.Keys[key % traits_.Keys.size()],
                                            stream.data(), static_cast<int32_t>(stream.size()));
        Check(result == 0 || result == -1);
    }

    const TEngineTraits& traits_;
    std::vector<uint8_t> screenBuffer_; // kept from fetch to fetch
    std::unique_ptr<TCaller> caller_;
    int32_t handle_ = -1;
};

} // namespace fuzz
