// FD_SETSIZE before the first Winsock header: select watches up to this many
// sockets, the number of connections under way at once.
#define FD_SETSIZE 256
#include <winsock2.h>
#include <ws2tcpip.h>
#include "net/TvScanner.h"

#include <algorithm>
#include "framework/ScopedWin.h"
#include "net/ScanPlan.h"

namespace {
const DWORD SELECT_SLICE_MS = 25;  // how often the cancel event is looked at

class CWinsock {
public:
    CWinsock() { WSADATA data; m_bReady = ::WSAStartup(MAKEWORD(2, 2), &data) == 0; }
    ~CWinsock() { if (m_bReady) ::WSACleanup(); }
    CWinsock(const CWinsock&) = delete;
    CWinsock& operator=(const CWinsock&) = delete;
    bool Ready() const { return m_bReady; }
private:
    bool m_bReady;
};

struct SocketTraits {
    typedef SOCKET Type;
    static SOCKET Invalid() { return INVALID_SOCKET; }
    static void Close(SOCKET s) { ::closesocket(s); }
};
typedef CScopedHandleT<SocketTraits> CScopedSocket;

// One address being probed.
struct Probe {
    uint32_t uAddress = 0;
    CScopedSocket socket;
    bool bConnected = false;
    DWORD dwDeadline = 0;
    std::string strReceived;
};

bool Passed(DWORD dwNow, DWORD dwDeadline) {
    return static_cast<LONG>(dwNow - dwDeadline) >= 0;
}

enum StartResult { STARTED, ADDRESS_FAILED, NO_SOCKET };

StartResult StartProbe(Probe& probe, const ScanLimits& limits) {
    probe.socket.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    u_long nNonBlocking = 1;
    if (!probe.socket || ::ioctlsocket(probe.socket.Get(), FIONBIO, &nNonBlocking) != 0) return NO_SOCKET;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(limits.nPort);
    address.sin_addr.s_addr = htonl(probe.uAddress);
    probe.dwDeadline = ::GetTickCount() + limits.dwConnectMs;
    if (::connect(probe.socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return STARTED;
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? STARTED : ADDRESS_FAILED;
}

// The connection opened: adb's first message, once. False when it did not go out whole.
bool SendHello(Probe& probe, const ScanLimits& limits) {
    static const std::string s_strHello = BuildConnectMessage();
    probe.bConnected = true;
    probe.dwDeadline = ::GetTickCount() + limits.dwAnswerMs;
    int nSent = ::send(probe.socket.Get(), s_strHello.data(), static_cast<int>(s_strHello.size()), 0);
    return nSent == static_cast<int>(s_strHello.size());
}

// Reads what is there, never past PROBE_MAX_ANSWER; the verdict so far.
ProbeAnswer ReadAnswer(Probe& probe, bool* pbEnded) {
    char buffer[1024];
    size_t nRoom = PROBE_MAX_ANSWER - probe.strReceived.size();
    int nRead = ::recv(probe.socket.Get(), buffer, static_cast<int>(std::min(nRoom, sizeof buffer)), 0);
    if (nRead > 0) probe.strReceived.append(buffer, nRead);
    *pbEnded = nRead == 0 || (nRead < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK) ||
               probe.strReceived.size() >= PROBE_MAX_ANSWER;
    return ReadProbeAnswer(probe.strReceived);
}
}  // namespace

ScanOutcome ScanForTvs(const std::vector<uint32_t>& targets, HANDLE hCancel, const ScanLimits& limits,
                       std::vector<FoundTv>* pFound) {
    pFound->clear();
    CWinsock winsock;
    if (!winsock.Ready()) return SCAN_NO_SOCKETS;
    const size_t nParallel = std::max<size_t>(1, std::min<size_t>(limits.nParallel, FD_SETSIZE));
    std::vector<Probe> running;
    size_t nNext = 0;
    ScanOutcome outcome = SCAN_DONE;
    while (nNext < targets.size() || !running.empty()) {
        if (hCancel && ::WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0) {
            outcome = SCAN_CANCELLED;
            break;
        }
        while (running.size() < nParallel && nNext < targets.size()) {
            uint32_t uAddress = targets[nNext++];
            if (!IsScannableAddress(uAddress)) continue;  // never, whoever made the list
            running.emplace_back();
            running.back().uAddress = uAddress;
            StartResult result = StartProbe(running.back(), limits);
            if (result == STARTED) continue;
            running.pop_back();
            if (result == NO_SOCKET) {
                // The system's limit: this address again once others are done.
                --nNext;
                break;
            }
        }
        if (running.empty()) {
            if (nNext < targets.size()) outcome = SCAN_NO_SOCKETS;  // not one socket to be had
            break;
        }

        fd_set readable, writable, failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        for (Probe& probe : running) {
            if (probe.bConnected) {
                FD_SET(probe.socket.Get(), &readable);
            } else {
                FD_SET(probe.socket.Get(), &writable);
                FD_SET(probe.socket.Get(), &failed);  // a refused connection shows here
            }
        }
        timeval slice = {0, static_cast<long>(SELECT_SLICE_MS * 1000)};
        if (::select(0, &readable, &writable, &failed, &slice) == SOCKET_ERROR) {
            outcome = SCAN_NO_SOCKETS;
            break;
        }
        const DWORD dwNow = ::GetTickCount();
        for (size_t i = running.size(); i-- > 0;) {
            Probe& probe = running[i];
            bool bDone = false;
            if (!probe.bConnected) {
                if (FD_ISSET(probe.socket.Get(), &failed)) bDone = true;
                else if (FD_ISSET(probe.socket.Get(), &writable)) bDone = !SendHello(probe, limits);
            } else if (FD_ISSET(probe.socket.Get(), &readable)) {
                bool bEnded = false;
                ProbeAnswer answer = ReadAnswer(probe, &bEnded);
                if (answer.verdict == PROBE_TV || answer.verdict == PROBE_NEEDS_AUTH) {
                    FoundTv tv;
                    tv.uAddress = probe.uAddress;
                    tv.bNeedsAuth = answer.verdict == PROBE_NEEDS_AUTH;
                    tv.strModel = answer.strModel;
                    pFound->push_back(tv);
                }
                bDone = bEnded || answer.verdict != PROBE_INCOMPLETE;
            }
            if (!bDone && Passed(dwNow, probe.dwDeadline)) bDone = true;
            if (bDone) running.erase(running.begin() + i);  // closes the socket: nothing more is sent
        }
    }
    std::sort(pFound->begin(), pFound->end(),
              [](const FoundTv& a, const FoundTv& b) { return a.uAddress < b.uAddress; });
    return outcome;
}
