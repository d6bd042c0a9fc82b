// The search itself: a non-blocking connection to port 5555 of each target
// address, many at once, adb's first message sent once on each that opens,
// the first answer read, the socket closed. Nothing else is ever sent.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "net/AdbProbe.h"

struct FoundTv {
    uint32_t uAddress = 0;
    bool bNeedsAuth = false;  // answered AUTH: the TV will ask to allow debugging
    std::string strModel;     // from its banner; may be empty
};

struct ScanLimits {
    DWORD dwConnectMs = 1500;  // for the connection to open
    DWORD dwAnswerMs = 1000;   // for the answer, once it has opened
    size_t nParallel = 256;    // connections under way at once
    unsigned short nPort = ADB_TV_PORT;
};

enum ScanOutcome { SCAN_DONE, SCAN_CANCELLED, SCAN_NO_SOCKETS };

// Probes exactly the targets given (any outside the private, link-local and
// loopback ranges is skipped); the TVs found in address order. Ends early,
// with what was found so far, once hCancel (may be NULL) is set.
ScanOutcome ScanForTvs(const std::vector<uint32_t>& targets, HANDLE hCancel, const ScanLimits& limits,
                       std::vector<FoundTv>* pFound);
