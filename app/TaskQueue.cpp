#include "app/TaskQueue.h"

#include <process.h>

CTaskQueue::~CTaskQueue() {
    Stop(INFINITE);
}

bool CTaskQueue::Push(std::function<void()> fnOrder) {
    {
        CLockGuard lock(m_cs);
        if (m_bStopping) return false;
    }
    if (!m_hThread) {
        if (!m_hWake) m_hWake.Reset(::CreateEventA(NULL, FALSE, FALSE, NULL));
        if (!m_hWake) return false;
        uintptr_t hThread = ::_beginthreadex(NULL, 0, WorkerProc, this, 0, NULL);
        if (!hThread) return false;
        m_hThread.Reset(reinterpret_cast<HANDLE>(hThread));
    }
    {
        CLockGuard lock(m_cs);
        m_queue.push_back(std::move(fnOrder));
    }
    ::SetEvent(m_hWake.Get());
    return true;
}

bool CTaskQueue::Stop(DWORD timeoutMs) {
    {
        CLockGuard lock(m_cs);
        m_bStopping = true;
        m_queue.clear();
    }
    if (!m_hThread) return true;
    ::SetEvent(m_hWake.Get());
    if (::WaitForSingleObject(m_hThread.Get(), timeoutMs) != WAIT_OBJECT_0) return false;
    m_hThread.Reset();
    return true;
}

unsigned __stdcall CTaskQueue::WorkerProc(void* pParam) {
    static_cast<CTaskQueue*>(pParam)->Work();
    return 0;
}

void CTaskQueue::Work() {
    for (;;) {
        std::function<void()> fnOrder;
        {
            CLockGuard lock(m_cs);
            if (m_bStopping) return;
            if (!m_queue.empty()) {
                fnOrder = std::move(m_queue.front());
                m_queue.pop_front();
            }
        }
        if (fnOrder) fnOrder();
        else ::WaitForSingleObject(m_hWake.Get(), INFINITE);
    }
}
