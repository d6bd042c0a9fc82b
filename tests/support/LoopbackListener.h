// A TCP listener on one loopback address for the search's tests: it
// answers each connection with fixed bytes (or nothing) once the first
// bytes arrived, and records everything each connection sent it.
#pragma once
#include <stdint.h>
#include <memory>
#include <string>
#include <vector>

class CLoopbackListener {
public:
    CLoopbackListener();
    ~CLoopbackListener();  // stops listening
    CLoopbackListener(const CLoopbackListener&) = delete;
    CLoopbackListener& operator=(const CLoopbackListener&) = delete;

    // Listens on uAddress (127.x.y.z only) and nPort (0: a free one);
    // false when that is taken.
    bool Listen(uint32_t uAddress, unsigned short nPort, const std::string& strAnswer);
    unsigned short Port() const;
    // What each connection sent, once it closed; oldest first.
    std::vector<std::string> Received() const;

    struct State;  // shared with the listener's thread
private:
    std::unique_ptr<State> m_pState;
};
