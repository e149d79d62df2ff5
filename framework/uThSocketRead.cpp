#include "uThSocketRead.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>

#include "uPLIntfLogg.h"
#include "uPLTelnet.h"

std::string TThSocketRead::RunawayText() {
    return Format("The host sent more than %d MiB without ending a record; the session was closed",
                  static_cast<int>(TPLTelnet::kRunawayBytes >> 20));
}

TThSocketRead::TThSocketRead(std::shared_ptr<TPLTelnet> session) : buffer_(TPLTelnet::kBufferSize) {
    thread_ = std::thread(&TThSocketRead::Execute, this, std::move(session));
}

TThSocketRead::~TThSocketRead() {
    if (!thread_.joinable()) return;
    if (IsCurrentThread())
        thread_.detach(); // it is leaving; nobody else holds the session to join it
    else
        thread_.join();
}

void TThSocketRead::Join() {
    // Two closers may wait at once (a Disconnect and the owner's release):
    // the thread is joined once, and the other waits until that is done.
    std::lock_guard lock(joinLock_);
    if (thread_.joinable() && !IsCurrentThread()) thread_.join();
}

void TThSocketRead::Execute(std::shared_ptr<TPLTelnet> session) {
    TPLTelnet& s = *session;
    const int fd = s.socket_->Fd();
    int pass = 0;
    try {
        while (!stop_.load()) {
            pollfd p{fd, POLLIN, 0};
            int ready = poll(&p, 1, s.Timing.WaitMillis);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) {
                s.NoteEndError(SocketErrorText(errno, "poll"));
                break;
            }
            if (ready > 0) {
                if (s.Timing.DataPauseMillis > 0)
                    std::this_thread::sleep_for(
                        std::chrono::milliseconds(s.Timing.DataPauseMillis));
                ssize_t n;
                do {
                    n = recv(fd, buffer_.data(), buffer_.size(), 0);
                } while (n < 0 && errno == EINTR);
                // A failed receive (a reset, a host that stopped answering the
                // keep-alive probes) is the reason the session ends.
                if (n < 0 && !stop_.load()) s.NoteEndError(SocketErrorText(errno, "recv"));
                if (n <= 0) break;
                try {
                    WriteLog(6, Format("%.4d : TThSocketRead: recibidos %d bytes (ver dump)",
                                       s.SessionId, static_cast<int>(n)));
                    if (!HandleData(s, buffer_.data(), static_cast<size_t>(n))) {
                        WriteLog(1, Format("%.4d : ERROR DE RECEPCION (LOOPING) en TThSocketRead",
                                           s.SessionId));
                        s.NoteEndError(RunawayText());
                        s.CloseSession();
                    }
                } catch (const std::exception& e) {
                    WriteLog(1, Format("%.4d : ERROR:-> TThSocketRead.Execute: %s", s.SessionId,
                                       e.what()));
                }
            } else if (pass == s.Timing.IdlePassesPerCheck - 1) {
                if (!s.CheckAlive()) break;
            }
            pass = (pass + 1) % (s.Timing.IdlePassesPerCheck > 0 ? s.Timing.IdlePassesPerCheck : 1);
        }
    } catch (...) {
        // An error outside a block ends the loop; the end steps still run.
    }
    try {
        s.ConnectionEnded();
        s.CloseSession();
    } catch (...) {}
    s.ReaderLeaving();
    // The session may end with this reference, on this thread.
    session.reset();
}

bool TThSocketRead::HandleData(TPLTelnet& session, const uint8_t* data, size_t len) {
    std::lock_guard lock(session.SessionLock);
    session.Receive(data, len);
    // A busy host ends records; one running away sends bytes that never do.
    return !session.RunningAway();
}
