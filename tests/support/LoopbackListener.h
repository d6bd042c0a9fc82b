// A TCP listener on one loopback address for the search's tests: it answers
// each connection with fixed bytes (or nothing) once its first bytes came,
// and records what each connection sent until it closed.
#pragma once
#include <stdint.h>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CLoopbackListener {
public:
    CLoopbackListener();
    ~CLoopbackListener();
    // On uAddress (127.x.y.z only) and nPort (0: a free one); false when taken.
    bool Listen(uint32_t uAddress, unsigned short nPort, const std::string& strAnswer);
    unsigned short Port() const { return m_nPort; }
    std::vector<std::string> Received() const {  // one per closed connection, oldest first
        std::lock_guard<std::mutex> guard(m_lock);
        return m_received;
    }

private:
    void AcceptLoop();
    uintptr_t m_listener = ~uintptr_t(0);  // a SOCKET; INVALID_SOCKET when none
    unsigned short m_nPort = 0;
    std::string m_strAnswer;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::vector<std::string> m_received;
};
