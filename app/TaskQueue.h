// The one worker thread of the window: orders run one at a time, in the
// order they were given. An order carries everything it needs (read on the
// window's thread when the user pressed), so the worker never asks the window
// for anything; it reports back by posting (see the window's task reports).
#pragma once
#include <windows.h>
#include <deque>
#include <functional>
#include "framework/ScopedWin.h"

class CTaskQueue {
public:
    CTaskQueue() = default;
    ~CTaskQueue();
    CTaskQueue(const CTaskQueue&) = delete;
    CTaskQueue& operator=(const CTaskQueue&) = delete;

    // Queues the order behind the others; the worker starts with the first.
    // False when no worker thread could be started: nothing was queued.
    bool Push(std::function<void()> fnOrder);
    // Orders that have not begun are dropped, the running one is waited for
    // (its tools must be stopped first: see the window's cancel event).
    // False when it did not end within timeoutMs; the worker then keeps
    // nothing of this object's that goes away.
    bool Stop(DWORD timeoutMs);

private:
    static unsigned __stdcall WorkerProc(void* pParam);
    void Work();

    CCriticalSection m_cs;
    std::deque<std::function<void()>> m_queue;  // under m_cs
    bool m_bStopping = false;                   // under m_cs
    CScopedHandle m_hWake;    // auto-reset: an order came, or Stop was called
    CScopedHandle m_hThread;
};
