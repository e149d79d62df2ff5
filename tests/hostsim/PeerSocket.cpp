#include "PeerSocket.h"

#include <dirent.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace hostsim {

namespace {
// TCP_ESTABLISHED of the kernel's socket states.
constexpr uint8_t kEstablished = 1;

void ReadAttributes(inet_diag_msg& msg, int length, TPeerSocket& peer) {
    for (auto* a = reinterpret_cast<rtattr*>(&msg + 1); RTA_OK(a, length);
         a = RTA_NEXT(a, length)) {
        if (a->rta_type == INET_DIAG_SKMEMINFO &&
            RTA_PAYLOAD(a) >= sizeof(uint32_t) * SK_MEMINFO_VARS) {
            uint32_t memory[SK_MEMINFO_VARS];
            std::memcpy(memory, RTA_DATA(a), sizeof memory);
            peer.queued = memory[SK_MEMINFO_WMEM_QUEUED];
            peer.sendBuffer = memory[SK_MEMINFO_SNDBUF];
        } else if (a->rta_type == INET_DIAG_INFO) {
            // One snapshot, taken under the socket's lock: what went out
            // once, and what was handed over but has not gone out yet.
            tcp_info info{};
            std::memcpy(&info, RTA_DATA(a), std::min<size_t>(RTA_PAYLOAD(a), sizeof info));
            peer.written = info.tcpi_bytes_sent - info.tcpi_bytes_retrans + info.tcpi_notsent_bytes;
        }
    }
}
} // namespace

TPeerSocket QueryPeer(int fd) {
    TPeerSocket peer;
    sockaddr_in local{}, remote{};
    socklen_t size = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) return peer;
    size = sizeof remote;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &size) != 0) return peer;
    const int link = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (link < 0) return peer;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } ask{};
    ask.header.nlmsg_len = sizeof ask;
    ask.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    ask.header.nlmsg_flags = NLM_F_REQUEST;
    ask.request.sdiag_family = AF_INET;
    ask.request.sdiag_protocol = IPPROTO_TCP;
    ask.request.idiag_ext = (1 << (INET_DIAG_SKMEMINFO - 1)) | (1 << (INET_DIAG_INFO - 1));
    ask.request.idiag_states = ~0u;
    // The client's socket: its address is our peer's, its peer is us.
    ask.request.id.idiag_sport = remote.sin_port;
    ask.request.id.idiag_dport = local.sin_port;
    ask.request.id.idiag_src[0] = remote.sin_addr.s_addr;
    ask.request.id.idiag_dst[0] = local.sin_addr.s_addr;
    ask.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    ask.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    alignas(nlmsghdr) char answer[8192];
    ssize_t n = -1;
    if (::sendto(link, &ask, sizeof ask, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) ==
        static_cast<ssize_t>(sizeof ask))
        n = ::recv(link, answer, sizeof answer, 0);
    ::close(link);
    // One answer: the socket, or an error when there is none.
    const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
    if (n < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(inet_diag_msg))) ||
        header->nlmsg_type != SOCK_DIAG_BY_FAMILY || header->nlmsg_len > static_cast<size_t>(n) ||
        header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
        return peer;
    auto& msg = *reinterpret_cast<inet_diag_msg*>(answer + NLMSG_LENGTH(0));
    peer.found = true;
    peer.established = msg.idiag_state == kEstablished;
    peer.inode = msg.idiag_inode;
    ReadAttributes(msg, static_cast<int>(header->nlmsg_len - NLMSG_LENGTH(sizeof msg)), peer);
    return peer;
}

namespace {
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    return names;
}

// This process's descriptors of the socket.
std::set<int> DescriptorsOf(uint32_t inode) {
    std::set<int> fds;
    const std::string name = "socket:[" + std::to_string(inode) + "]";
    char target[64];
    for (const auto& fd : Entries("/proc/self/fd")) {
        const std::string link = "/proc/self/fd/" + fd;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == name) fds.insert(std::stoi(fd));
    }
    return fds;
}

// Whether the thread sleeps in poll for room on one of the descriptors: its
// state, the call it is in and the descriptors it waits on, as the kernel
// shows them. The poll list is copied out of memory that the sleeping
// thread does not touch, without a read that a sanitizer would count as one
// of this thread's.
bool WaitsForRoom(const std::string& task, const std::set<int>& fds) {
    std::ifstream stat(task + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const size_t name = line.rfind(')');
    if (name == std::string::npos || name + 2 >= line.size() || line[name + 2] != 'S') return false;
    std::ifstream call(task + "/syscall");
    long number = -1;
    std::string list, count;
    if (!(call >> number >> list >> count)) return false;
    if (number != SYS_poll && number != SYS_ppoll) return false;
    const unsigned long address = std::stoul(list, nullptr, 16);
    const unsigned long entries = std::stoul(count, nullptr, 16);
    if (entries == 0 || entries > 16) return false;
    std::vector<pollfd> waits(entries);
    const iovec local{waits.data(), entries * sizeof(pollfd)};
    const iovec remote{reinterpret_cast<void*>(address), entries * sizeof(pollfd)};
    if (::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) !=
        static_cast<ssize_t>(local.iov_len))
        return false;
    return std::any_of(waits.begin(), waits.end(), [&](const pollfd& w) {
        return fds.count(w.fd) != 0 && (w.events & POLLOUT) != 0 && (w.events & POLLIN) == 0;
    });
}
} // namespace

bool SenderWaitsForRoom(const TPeerSocket& peer) {
    if (!peer.found) return false;
    const std::set<int> fds = DescriptorsOf(peer.inode);
    if (fds.empty()) return false;
    for (const auto& id : Entries("/proc/self/task"))
        if (WaitsForRoom("/proc/self/task/" + id, fds)) return true;
    return false;
}

} // namespace hostsim
