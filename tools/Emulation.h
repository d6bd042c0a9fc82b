// DAVREL_UNDER_EMULATION=1: Davrel runs under qemu-user's emulation of a
// 32-bit Wine (scripts/smoke32.sh), which dies once three threads are awake
// at a time (a plain _beginthreadex program shows it) and starts each tool in
// seconds. Davrel then runs the queries it otherwise runs side by side in
// turn on the task's thread, pushes a large package without reading its
// share sent, and gives a bundle's details longer to be read. Windows itself
// never needs it.
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
