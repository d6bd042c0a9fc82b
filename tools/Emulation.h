// DAVREL_UNDER_EMULATION=1: Davrel runs under qemu-user's emulation of a
// 32-bit Wine (scripts/smoke32.sh), which dies once three threads are awake
// at a time (a plain _beginthreadex program shows it) and starts each tool in
// seconds (tens of them in a prefix just made). Davrel then runs the queries
// it otherwise runs side by side in turn on the task's thread, pushes a large
// package without reading its share sent, and gives every tool run and a
// bundle's details ten times as long. Windows itself never needs it.
#pragma once
#include <windows.h>

inline bool UnderEmulation() {
    static const bool bEmulated = [] {
        char szValue[8] = {0};
        DWORD dwLength = ::GetEnvironmentVariableA("DAVREL_UNDER_EMULATION", szValue, sizeof szValue);
        return dwLength > 0 && dwLength < sizeof szValue && szValue[0] == '1';
    }();
    return bEmulated;
}

// A time limit as it holds here: ten times as long under emulation.
inline DWORD EmulatedLimit(DWORD nMilliseconds) {
    const DWORD SLOWDOWN = 10;
    if (!UnderEmulation() || nMilliseconds == INFINITE) return nMilliseconds;
    return nMilliseconds < INFINITE / SLOWDOWN ? nMilliseconds * SLOWDOWN : INFINITE - 1;
}
