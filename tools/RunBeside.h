// Queries that do not depend on each other run side by side: each tool run
// waits mostly for the TV, so two at once take about as long as one.
#pragma once
#include <future>
#include <system_error>
#include "tools/Emulation.h"


// Starts fn on a thread of its own. The future is not valid when no thread
// could be had: the caller then runs fn itself, in turn. The future's
// destructor waits for fn, so nothing fn uses may go before it; fn's tool
// runs end with their time limit or the window's cancel event.
template <typename Fn>
std::future<decltype(std::declval<Fn>()())> RunBeside(Fn fn) {
    if (UnderEmulation()) return std::future<decltype(std::declval<Fn>()())>();
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
