// The telnet client session both engines derive their session from: a
// blocking TCP socket, the option negotiation TN5250 and TN3270 need, records
// split at IAC EOR and handed to the data stream, outbound records framed and
// sent whole, and the session's events.
//
// Threads: Connect, the sends of the user's records and Disconnect run on the
// caller's thread; the reader thread (uThSocketRead) parses, processes
// records, answers the negotiation and raises the screen events. A session is
// shared (std::shared_ptr) by its owner and its running reader thread, so it
// lives until both are done with it; create it with std::make_shared.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "uPLTnStream.h"
#include "uPlBasFld.h"
#include "uReceiveLog.h"
#include "uSendQueue.h"
#include "uSessionEvents.h"
#include "uSessionLock.h"
#include "uTcpSocket.h"

class TThSocketRead;

namespace telnet {
inline constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                         SE = 240, EOR = 239;
inline constexpr uint8_t BINARY = 0, ECHO = 1, SGA = 3, SEND_LOCATION = 23, TERMINAL_TYPE = 24,
                         END_OF_RECORD = 25;
inline constexpr uint8_t TT_IS = 0, TT_SEND = 1;
} // namespace telnet

// How long the session waits for what; tests shorten the waits.
struct TReaderTiming {
    int WaitMillis = 10000;     // one wait for data
    int DataPauseMillis = 5;    // pause before receiving, so a burst arrives whole
    int IdlePassesPerCheck = 6; // the liveness check runs on every sixth idle pass
    int ConnectMillis = 30000;  // a connection attempt the host does not answer
    int SendMillis = 10000;     // a send the host takes no bytes of
};

class TPLTelnet : public std::enable_shared_from_this<TPLTelnet> {
public:
    static constexpr size_t kBufferSize = 8192;
    static constexpr size_t kSubnegotiationSize = 100;
    // A host that sends this many bytes without ending a record is running
    // away: no screen comes near it (a record is dropped past 256 KiB).
    static constexpr size_t kRunawayBytes = 4u << 20;

    explicit TPLTelnet(int sessionId);
    virtual ~TPLTelnet();
    TPLTelnet(const TPLTelnet&) = delete;
    TPLTelnet& operator=(const TPLTelnet&) = delete;

    int SessionId;
    std::string Port = "23";
    std::string Host;
    std::string Location = "TPLTelnet";
    std::string TermType = "VT100";
    TReaderTiming Timing;

    std::function<void(TPLTelnet&)> OnConnect;
    std::function<void(TPLTelnet&)> OnDisconnect;
    std::function<void(TPLTelnet&, const uint8_t*, size_t)> OnData;
    std::function<void(TPLTelnet&)> OnBinaryRecord;
    std::function<void(TPLTelnet&)> OnSendLocation;
    std::function<void(TPLTelnet&)> OnTerminalType;
    // The owner's handler of the session events; its answer counts only for
    // ceIsAlive.
    std::function<bool(TPLTelnet&, TSessionEvent)> OnSessionEvent;

    // Serialises the reader thread's processing of each received block with
    // the owner's calls that read or change the display and the field list.
    // Records made under it go out once it is let go, never under it.
    TSessionLock SessionLock;

    THostFields HostFields;
    TPLTnStream* Stream() const { return stream_.get(); }
    int Model() const { return model_; }
    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    int ScreenSize() const { return screenSize_; }
    bool Closing() const { return closing_.load(); }
    // Binary mode and END-OF-RECORD framing: on from the first direction
    // agreed; once either direction is turned off, off until both are agreed
    // again.
    bool BinaryMode() const { return binaryIn_; }
    bool RecordFraming() const { return recordFraming_; }
    uint16_t TermTypeRequests() const { return termTypeRequests_; }

    // Opens the connection on the caller's thread; when it stands, the reader
    // thread runs and ceSessionConnected has been raised before this returns.
    // A failed open raises ESocketError with the system's text.
    void Connect();
    bool Connected() const;
    // Ends the connection: a running reader thread is told to stop (the
    // socket is shut down; the reader frees the descriptor as it leaves).
    // Never waits for the session lock, so it also wakes a reader that is
    // blocked sending while it holds that lock.
    void Disconnect();
    // The caller's close in two steps: ClaimClose marks the session closing
    // (false when a close has begun already) and shuts the socket down
    // without the session lock; FinishClose, under it, reports and ends the
    // connection as CloseSession does.
    bool ClaimClose();
    void FinishClose();
    // Waits until the reader thread has ended; never from the reader itself.
    void JoinReader();
    // The close sequence, once per connection whichever side starts it:
    // ceSessionDisconnected, OnDisconnect, Disconnect.
    virtual void CloseSession();

    // Sends the bytes whole, after every record made before them; the count
    // sent, or -1. The dump shows logView (len bytes) when given, else data.
    // Under the session lock the bytes are only queued (the count is then
    // len): they go out when the lock is let go.
    long SendData(const uint8_t* data, size_t len, const uint8_t* logView = nullptr);
    // The ticket of the last record queued for sending; 0 before the first.
    uint64_t LastQueued() const { return sends_.LastTicket(); }
    // Once the session lock that queued it has been let go: whether every
    // record up to this ticket went out whole.
    bool WentOut(uint64_t ticket) const { return sends_.WentOut(ticket); }
    // The system's text for the last send that failed.
    std::string LastSendErrorText() const;
    // Why the connection ended, when an error ended it ("" otherwise). Set
    // on the thread that met the error; read by the engine interface.
    std::string EndErrorText() const;
    void SetEndErrorText(const std::string& text);
    // The text becomes why the connection ended, unless a reason is kept already.
    void NoteEndError(const std::string& text);
    // The host has sent kRunawayBytes or more without ending a record.
    bool RunningAway() const { return bytesSinceRecordEnd_ >= kRunawayBytes; }
    // The record with its 0xFF bytes doubled, then IAC EOR, in one send. A
    // log view of the record (len bytes) is framed alike and dumped instead.
    long SendRecord(const uint8_t* data, size_t len, const uint8_t* logView = nullptr);
    void SendCommand(uint8_t verb, uint8_t option);

    // Feeds received bytes to the telnet parser (reader thread).
    void NewData(const uint8_t* data, size_t len);
    // A block the reader received: parsed, and dumped once the records in
    // it have been interpreted, with the host's hidden text masked.
    void Receive(const uint8_t* data, size_t len);
    std::string GetStatusText() const;
    // The display's status-change handler: keyboard locked or unlocked.
    void StatusChange();

    // 2: 24 x 80, 3: 32 x 80, 4: 43 x 80, 5: 27 x 132. The engines' overrides
    // call this first, then create their stream and display.
    virtual void SetModel(int model);
    virtual void GenHostFields() = 0;
    // Whether the session should live on after a quiet spell (reader thread).
    virtual bool CheckAlive();

protected:
    virtual void SocketConnect();
    virtual void SocketDisconnect();
    virtual void DoSubnegotiation(const uint8_t* data, size_t count);
    virtual void DataReceived(const uint8_t* data, size_t len);
    virtual void TextReceived(const uint8_t* data, size_t len);
    virtual void EndOfRecord();

    // Raises an event through OnSessionEvent; none follows ceSessionDisconnected.
    bool RaiseEvent(TSessionEvent event);
    void SetStream(std::unique_ptr<TPLTnStream> stream) { stream_ = std::move(stream); }

private:
    friend class TThSocketRead;
    void ParseByte(uint8_t b);
    // No command, option or subnegotiation is under way: the next byte is
    // data unless it is an IAC.
    bool AtPlainData() const { return !iacSeen_ && pendingVerb_ == 0 && !inSubnegotiation_; }
    // Adds the data bytes before the first IAC, at most the record buffer's
    // room; the count taken.
    size_t AddDataRun(const uint8_t* data, size_t len);
    void Negotiate(uint8_t verb, uint8_t option);
    // Whether the option's mode is on, by the state of its two directions.
    bool ModeOn(uint8_t option) const;
    // Binary mode and record framing follow a change of a direction; a
    // change of either drops what is pending of a record.
    void ModesFollow();
    // The answer the session gives to a request to enable an option it agrees to.
    void Accept(uint8_t verb, uint8_t option);
    // Whether the session agrees to the host's WILL or DO for the option.
    static bool Agrees(uint8_t verb, uint8_t option);
    void AddByte(uint8_t b);
    void AddSubnegotiationByte(uint8_t b);
    void FlushData();
    // Forgets what is pending of the current record without interpreting it:
    // its bytes reach neither the data stream nor the dump; the log says why
    // and how long it was.
    void DropRecord(const std::string& why);
    void LogRecordError(const std::exception& e);
    // Ends the connection for an error: the text becomes this thread's last
    // error and, unless one is kept already, the reason the session ended.
    void EndWithError(const std::string& text);
    // Sends the queued records up to the ticket (never under the session lock).
    void FlushSends(uint64_t ticket) noexcept;
    // One record on the wire, logged as sent when it is handed to the socket.
    TSendOutcome SendNow(const TOutbound& record);
    // Logs the records a stopped send queue dropped.
    void LogUnsent(const TDropped& dropped);
    // Called by the reader thread as it leaves.
    void ConnectionEnded();
    // The reader thread's last act on the socket.
    void ReaderLeaving();

    std::unique_ptr<TTransport> socket_; // the TCP socket, unless a driver installed another
    TSendQueue sends_;
    std::atomic<int> lastSendErrno_{0};
    std::unique_ptr<TThSocketRead> reader_;
    std::atomic<bool> readerRunning_{false};
    std::mutex readerStateLock_; // orders the reader's leaving with Disconnect
    std::unique_ptr<TPLTnStream> stream_;
    std::atomic<bool> closing_{false};
    // Set by Disconnect: the rest of a block is not parsed any more.
    std::atomic<bool> parsingStopped_{false};
    std::recursive_mutex eventLock_; // serialises events; guards disconnectedReported_
    bool disconnectedReported_ = false;
    mutable std::mutex endErrorLock_;
    std::string endError_;

    int model_ = 2, rows_ = 24, cols_ = 80, screenSize_ = 1920;
    bool binaryIn_ = false, binaryOut_ = false;
    bool recordFraming_ = false;
    bool echoAgreed_ = false, sgaAgreed_ = false, recordAgreed_ = false;
    // One direction of an option: whether it is in effect, and whether the
    // session said it off (a refusal, or the answer to a request to stop)
    // and it has not been agreed since. Ours is what we WILL, the host's
    // what we tell it to DO.
    struct TOptionSide {
        bool On = false;
        bool Off = false;
    };
    std::array<TOptionSide, 256> ourOptions_{}, hostOptions_{};
    uint16_t termTypeRequests_ = 0;

    // Parser state.
    bool iacSeen_ = false;
    uint8_t pendingVerb_ = 0;
    bool inSubnegotiation_ = false;
    bool subIacSeen_ = false; // an IAC inside the subnegotiation, not yet paired
    uint8_t subBuffer_[kSubnegotiationSize] = {};
    uint16_t subCount_ = 0;
    std::vector<uint8_t> record_;
    size_t pending_ = 0;
    size_t bytesSinceRecordEnd_ = 0; // reader thread

    // The received bytes on their way to the dump (reader thread): the
    // offset of the block being parsed and of the byte ParseByte has, and
    // the data bytes of the current record so far.
    TReceiveLog receiveLog_;
    uint64_t blockOffset_ = 0, parseOffset_ = 0;
    size_t recordBytes_ = 0;
};
