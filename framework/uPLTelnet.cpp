#include "uPLTelnet.h"

#include <errno.h>

#include "uLastError.h"
#include "uPLIntfLogg.h"
#include "uThSocketRead.h"

TPLTelnet::TPLTelnet(int sessionId)
    : SessionId(sessionId), SessionLock([this](uint64_t queued) { FlushSends(queued); }),
      socket_(MakeTransport()), record_(kBufferSize) {}

TPLTelnet::~TPLTelnet() {
    if (reader_ && !reader_->IsCurrentThread()) {
        // Only reached once the reader let go of the session, so it has ended
        // or is leaving: the join is short.
        reader_->Stop();
        socket_->Shutdown();
    }
    reader_.reset();
    socket_->Close();
}

void TPLTelnet::Connect() {
    // A reader of an earlier connection is stopped and waited for first.
    if (readerRunning_.load()) Disconnect();
    JoinReader();
    // A record the last connection cut (where no reader saw its end).
    DropRecord("la conexion termino antes de su fin");
    termTypeRequests_ = 0;
    closing_.store(false);
    parsingStopped_.store(false);
    {
        std::lock_guard lock(eventLock_);
        disconnectedReported_ = false;
    }
    iacSeen_ = false;
    pendingVerb_ = 0;
    inSubnegotiation_ = false;
    subIacSeen_ = false;
    subCount_ = 0;
    pending_ = 0;
    bytesSinceRecordEnd_ = 0;
    recordBytes_ = 0;
    receiveLog_.Reset();
    binaryIn_ = binaryOut_ = false;
    recordFraming_ = false;
    ourOptions_ = {};
    hostOptions_ = {};
    SetEndErrorText("");
    sends_.Reset();

    const TPortChoice port = ParsePortText(Port);
    WriteLog(2, Format("%.4d : TPLTelnet: Conectando con host %s port: %d service: %s", SessionId,
                       Host.c_str(), port.Port, port.Service.c_str()));
    socket_->Open(Host, port, {Timing.ConnectMillis, Timing.SendMillis});
    SocketConnect();
}

bool TPLTelnet::Connected() const {
    return socket_->IsOpen();
}

void TPLTelnet::SocketConnect() {
    if (OnConnect) OnConnect(*this);
    RaiseEvent(ceSessionConnected);
    // The reader starts once the connection has been reported, so no screen
    // event can come before it. A transport without a descriptor delivers
    // the host's bytes itself.
    socket_->Attach(weak_from_this());
    if (socket_->Fd() < 0) return;
    std::lock_guard lock(readerStateLock_);
    readerRunning_.store(true);
    try {
        reader_ = std::make_unique<TThSocketRead>(shared_from_this());
    } catch (...) {
        readerRunning_.store(false);
        socket_->Close();
        throw;
    }
}

void TPLTelnet::SocketDisconnect() {
    if (OnDisconnect) OnDisconnect(*this);
}

void TPLTelnet::Disconnect() {
    WriteLog(5, Format("%.4d : TPLTelnet: desconectando de host %s", SessionId, Host.c_str()));
    parsingStopped_.store(true);
    // Nothing more goes out: what waits to be sent is dropped, once.
    LogUnsent(sends_.Stop());
    std::lock_guard lock(readerStateLock_);
    if (readerRunning_.load()) {
        // The reader is told to stop and the socket shut down; the descriptor
        // is freed by the reader as it leaves, never while it may use it.
        reader_->Stop();
        socket_->Shutdown();
    } else {
        socket_->Close();
    }
}

void TPLTelnet::JoinReader() {
    if (reader_) reader_->Join();
}

void TPLTelnet::ConnectionEnded() {
    {
        // A record that never ended was never interpreted: it is dropped,
        // and nothing of it reaches the dump.
        std::lock_guard lock(SessionLock);
        DropRecord("la conexion termino antes de su fin");
        receiveLog_.Dump(true);
    }
    WriteLog(9, Format("%.4d : TPLTelnet: Conexion terminada con %s", SessionId, Host.c_str()));
}

void TPLTelnet::ReaderLeaving() {
    std::lock_guard lock(readerStateLock_);
    socket_->Close();
    readerRunning_.store(false);
}

void TPLTelnet::CloseSession() {
    if (closing_.exchange(true)) return;
    FinishClose();
}

bool TPLTelnet::ClaimClose() {
    const bool claimed = !closing_.exchange(true);
    if (claimed) Disconnect();
    return claimed;
}

void TPLTelnet::FinishClose() {
    // The report comes with the reason for it, on whichever thread reports.
    const std::string reason = EndErrorText();
    if (!reason.empty()) SetLastErrorText(reason);
    RaiseEvent(ceSessionDisconnected);
    SocketDisconnect();
    Disconnect();
}

std::string TPLTelnet::EndErrorText() const {
    std::lock_guard lock(endErrorLock_);
    return endError_;
}

void TPLTelnet::SetEndErrorText(const std::string& text) {
    std::lock_guard lock(endErrorLock_);
    endError_ = text;
}

void TPLTelnet::NoteEndError(const std::string& text) {
    std::lock_guard lock(endErrorLock_);
    if (endError_.empty()) endError_ = text;
}

bool TPLTelnet::RaiseEvent(TSessionEvent event) {
    std::lock_guard lock(eventLock_);
    // Nothing follows the disconnection report of a connection.
    if (disconnectedReported_) return false;
    if (event == ceSessionDisconnected) disconnectedReported_ = true;
    if (!OnSessionEvent) return true;
    return OnSessionEvent(*this, event);
}

long TPLTelnet::SendData(const uint8_t* data, size_t len, const uint8_t* logView) {
    const uint64_t ticket = sends_.Push(data, len, logView);
    if (!sends_.WentOut(ticket)) {
        // Made after the connection failed or ended: never sent, never logged.
        int none = 0;
        lastSendErrno_.compare_exchange_strong(none, ENOTCONN);
        return -1;
    }
    if (SessionLock.HeldHere()) {
        SessionLock.NoteQueued(ticket);
        return static_cast<long>(len);
    }
    FlushSends(ticket);
    return sends_.WentOut(ticket) ? static_cast<long>(len) : -1;
}

void TPLTelnet::FlushSends(uint64_t ticket) noexcept {
    try {
        LogUnsent(
            sends_.SendUpTo(ticket, [this](const TOutbound& record) { return SendNow(record); }));
    } catch (...) {
        // Nothing may leave the release of the session lock.
    }
}

void TPLTelnet::LogUnsent(const TDropped& dropped) {
    if (dropped.Records == 0) return;
    WriteLog(1,
             Format("%.4d : TPLTelnet: %d registros (%d bytes) descartados sin enviar al Host",
                    SessionId, static_cast<int>(dropped.Records), static_cast<int>(dropped.Bytes)));
}

TSendOutcome TPLTelnet::SendNow(const TOutbound& record) {
    if (!socket_->IsOpen()) {
        lastSendErrno_.store(ENOTCONN);
        return TSendOutcome::NotSent;
    }
    const size_t len = record.Bytes.size();
    WriteLog(9, Format("%.4d : TPLTelnet: Enviando informacion a Host (ver dump)", SessionId));
    WriteDump(6, Format("DATA STREAM ENVIADO A HOST (EBCDIC): %d BYTES", static_cast<int>(len)),
              kDumpWidth, record.LogView.empty() ? record.Bytes.data() : record.LogView.data(),
              static_cast<int>(len), kDumpBlock);
    int error = 0;
    const long sent = socket_->Send(record.Bytes.data(), len, &error);
    if (sent >= 0) return TSendOutcome::Sent;
    lastSendErrno_.store(error);
    // A failed send ends the connection, with the socket's text as the
    // reason; not so when the connection was ending already (a socket
    // closed, or shut down by a Disconnect that woke this send).
    if (error != ENOTCONN && !parsingStopped_.load()) {
        const std::string text = LastSendErrorText();
        WriteLog(1, Format("%.4d : ERROR: %s", SessionId, text.c_str()));
        EndWithError(text);
    }
    return TSendOutcome::Failed;
}

void TPLTelnet::EndWithError(const std::string& text) {
    SetLastErrorText(text);
    NoteEndError(text);
    Disconnect();
}

std::string TPLTelnet::LastSendErrorText() const {
    return SocketErrorText(lastSendErrno_.load(), "send");
}

long TPLTelnet::SendRecord(const uint8_t* data, size_t len, const uint8_t* logView) {
    std::vector<uint8_t> frame, viewFrame;
    frame.reserve(len + len / 16 + 2);
    if (logView) viewFrame.reserve(frame.capacity());
    for (size_t i = 0; i < len; ++i) {
        // A data byte 0xFF would read as IAC: the host expects it doubled.
        const int copies = data[i] == telnet::IAC ? 2 : 1;
        frame.insert(frame.end(), copies, data[i]);
        // The view doubles where the record does, so that the dump shows the
        // length and the places of what goes on the wire.
        if (logView) viewFrame.insert(viewFrame.end(), copies, logView[i]);
    }
    frame.insert(frame.end(), {telnet::IAC, telnet::EOR});
    if (logView) viewFrame.insert(viewFrame.end(), {telnet::IAC, telnet::EOR});
    return SendData(frame.data(), frame.size(), logView ? viewFrame.data() : nullptr);
}

void TPLTelnet::SendCommand(uint8_t verb, uint8_t option) {
    const uint8_t command[3] = {telnet::IAC, verb, option};
    SendData(command, sizeof command);
}

std::string TPLTelnet::GetStatusText() const {
    return stream_ && stream_->Display() ? stream_->Display()->Status() : std::string();
}

void TPLTelnet::StatusChange() {
    const std::string status = GetStatusText();
    if (LogWanted(6))
        WriteLog(6, Format("%.4d : TPLTelnet.StatusChange. Status: %s", SessionId, status.c_str()));
    RaiseEvent(status.empty() ? ceKbdUnlocked : ceKbdLocked);
}

void TPLTelnet::SetModel(int model) {
    static constexpr struct {
        int rows, cols;
    } kSizes[] = {{24, 80}, {32, 80}, {43, 80}, {27, 132}};
    if (model < 2 || model > 5) {
        SetLastErrorText("Invalid model number");
        throw EPLError("invalid model number");
    }
    model_ = model;
    rows_ = kSizes[model - 2].rows;
    cols_ = kSizes[model - 2].cols;
    WriteLog(7, Format("%.4d : TPLTn5250: Dimensiones de la pantalla: %d Filas x %d Columnas",
                       SessionId, rows_, cols_));
    screenSize_ = rows_ * cols_;
}

bool TPLTelnet::CheckAlive() {
    return Connected();
}
