#include <winsock2.h>
#include "support/LoopbackListener.h"

namespace {
bool Readable(SOCKET s, long nMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {0, nMs * 1000};
    return select(0, &set, NULL, NULL, &wait) == 1;
}
}  // namespace

CLoopbackListener::CLoopbackListener() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

CLoopbackListener::~CLoopbackListener() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listener != INVALID_SOCKET) closesocket(SOCKET(m_listener));
    WSACleanup();
}

bool CLoopbackListener::Listen(uint32_t uAddress, unsigned short nPort, const std::string& strAnswer) {
    if ((uAddress >> 24) != 127 || m_listener != INVALID_SOCKET) return false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(uAddress);
    int nLength = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        closesocket(s);
        return false;
    }
    m_listener = s;
    m_nPort = ntohs(address.sin_port);
    m_strAnswer = strAnswer;
    m_thread = std::thread(&CLoopbackListener::AcceptLoop, this);
    return true;
}

void CLoopbackListener::AcceptLoop() {
    while (!m_bStop) {
        SOCKET s = Readable(SOCKET(m_listener), 50) ? accept(SOCKET(m_listener), NULL, NULL) : INVALID_SOCKET;
        if (s == INVALID_SOCKET) continue;
        std::string strReceived;
        bool bAnswered = m_strAnswer.empty();
        char buffer[512];
        for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < 5000;) {
            if (!Readable(s, 50)) continue;
            int nRead = recv(s, buffer, sizeof buffer, 0);
            if (nRead <= 0) break;
            strReceived.append(buffer, nRead);
            if (!bAnswered) send(s, m_strAnswer.data(), static_cast<int>(m_strAnswer.size()), 0);
            bAnswered = true;
        }
        closesocket(s);
        std::lock_guard<std::mutex> guard(m_lock);
        m_received.push_back(strReceived);
    }
}
