// Queries that do not depend on each other run side by side: each tool run
// waits mostly for the TV, so two at once take about as long as one.
#pragma once
#include <windows.h>
#include <future>
#include <system_error>

// DAVREL_QUERIES_IN_TURN=1 runs every query in turn on the task's own
// thread, the push of a large package too (then without its share shown).
// For scripts/smoke32.sh: qemu-user's emulation of a 32-bit Wine dies once
// three threads are awake at a time, as a plain _beginthreadex program shows;
// Windows itself never needs it.
inline bool QueriesInTurn() {
    static const bool bInTurn = [] {
        char szValue[8] = {0};
        DWORD dwLength = ::GetEnvironmentVariableA("DAVREL_QUERIES_IN_TURN", szValue, sizeof szValue);
        return dwLength > 0 && dwLength < sizeof szValue && szValue[0] == '1';
    }();
    return bInTurn;
}

// Starts fn on a thread of its own. The future is not valid when no thread
// could be had: the caller then runs fn itself, in turn. The future's
// destructor waits for fn, so nothing fn uses may go before it; fn's tool
// runs end with their time limit or the window's cancel event.
template <typename Fn>
std::future<decltype(std::declval<Fn>()())> RunBeside(Fn fn) {
    if (QueriesInTurn()) return std::future<decltype(std::declval<Fn>()())>();
    try {
        return std::async(std::launch::async, fn);
    } catch (const std::system_error&) {
        return std::future<decltype(std::declval<Fn>()())>();
    }
}

// What fn gives: from the future when it ran beside, else fn run now.
template <typename T, typename Fn>
T TakeOrRun(std::future<T>& ahead, Fn fn) {
    return ahead.valid() ? ahead.get() : fn();
}
