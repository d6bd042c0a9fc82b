#include <winsock2.h>
#include "support/LoopbackListener.h"

#include <process.h>
#include <windows.h>
#include <mutex>

struct CLoopbackListener::State {
    SOCKET listener = INVALID_SOCKET;
    unsigned short nPort = 0;
    std::string strAnswer;
    volatile LONG bStop = 0;
    HANDLE hThread = NULL;
    mutable std::mutex lock;
    std::vector<std::string> received;
};

namespace {
bool Readable(SOCKET s, DWORD dwMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {0, static_cast<long>(dwMs * 1000)};
    return select(0, &set, NULL, NULL, &wait) == 1;
}

// One connection: what it sent until it closed (or 5 s), the answer after its first bytes.
std::string Serve(SOCKET s, const std::string& strAnswer) {
    std::string strReceived;
    bool bAnswered = strAnswer.empty();
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < 5000;) {
        if (!Readable(s, 50)) continue;
        char buffer[512];
        int nRead = recv(s, buffer, sizeof buffer, 0);
        if (nRead <= 0) break;
        strReceived.append(buffer, nRead);
        if (!bAnswered) send(s, strAnswer.data(), static_cast<int>(strAnswer.size()), 0);
        bAnswered = true;
    }
    closesocket(s);
    return strReceived;
}

unsigned __stdcall AcceptLoop(void* pParam) {
    auto* pState = static_cast<CLoopbackListener::State*>(pParam);
    while (!pState->bStop) {
        if (!Readable(pState->listener, 50)) continue;
        SOCKET s = accept(pState->listener, NULL, NULL);
        if (s == INVALID_SOCKET) continue;
        std::string strReceived = Serve(s, pState->strAnswer);
        std::lock_guard<std::mutex> guard(pState->lock);
        pState->received.push_back(strReceived);
    }
    return 0;
}
}  // namespace

CLoopbackListener::CLoopbackListener() : m_pState(new State) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

CLoopbackListener::~CLoopbackListener() {
    InterlockedExchange(&m_pState->bStop, 1);
    if (m_pState->hThread) {
        WaitForSingleObject(m_pState->hThread, 10000);
        CloseHandle(m_pState->hThread);
    }
    if (m_pState->listener != INVALID_SOCKET) closesocket(m_pState->listener);
    WSACleanup();
}

bool CLoopbackListener::Listen(uint32_t uAddress, unsigned short nPort, const std::string& strAnswer) {
    if ((uAddress >> 24) != 127 || m_pState->listener != INVALID_SOCKET) return false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(uAddress);
    int nLength = sizeof address;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, 16) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        return false;
    }
    m_pState->listener = s;
    m_pState->nPort = ntohs(address.sin_port);
    m_pState->strAnswer = strAnswer;
    m_pState->hThread = reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, AcceptLoop, m_pState.get(), 0, NULL));
    return m_pState->hThread != NULL;
}

unsigned short CLoopbackListener::Port() const { return m_pState->nPort; }

std::vector<std::string> CLoopbackListener::Received() const {
    std::lock_guard<std::mutex> guard(m_pState->lock);
    return m_pState->received;
}
