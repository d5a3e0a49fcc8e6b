#include "fw/win/thread.h"

#include <process.h>

CWinThread::CWinThread() = default;

CWinThread::~CWinThread() {
    if (m_hThread) CloseHandle(m_hThread);
    m_hThread = nullptr;
}

unsigned __stdcall CWinThread::ThreadEntry(void* param) {
    CWinThread* self = static_cast<CWinThread*>(param);
    int code = self->Run();
    if (self->m_bAutoDelete) delete self;
    return static_cast<unsigned>(code);
}

bool CWinThread::CreateThread(DWORD createFlags, UINT stackSize, LPSECURITY_ATTRIBUTES security) {
    if (m_hThread) return false;
    // Always start suspended: handle and id must be stored before the body can
    // run (and, with automatic deletion, before the object can be gone).
    unsigned id = 0;
    unsigned flags = static_cast<unsigned>((createFlags & ~static_cast<DWORD>(CREATE_SUSPENDED)) | CREATE_SUSPENDED);
    uintptr_t h = _beginthreadex(security, stackSize, &CWinThread::ThreadEntry, this, flags, &id);
    if (h == 0) return false;
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_nThreadID = id;
    if (!(createFlags & CREATE_SUSPENDED)) ::ResumeThread(m_hThread);
    return true;
}

DWORD CWinThread::ResumeThread() {
    return m_hThread ? ::ResumeThread(m_hThread) : static_cast<DWORD>(-1);
}

DWORD CWinThread::SuspendThread() {
    return m_hThread ? ::SuspendThread(m_hThread) : static_cast<DWORD>(-1);
}

bool CWinThread::SetThreadPriority(int priority) {
    return m_hThread && ::SetThreadPriority(m_hThread, priority) != FALSE;
}

int CWinThread::GetThreadPriority() const {
    return m_hThread ? ::GetThreadPriority(m_hThread) : THREAD_PRIORITY_ERROR_RETURN;
}

bool CWinThread::Wait(DWORD timeoutMs) const {
    return !m_hThread || WaitForSingleObject(m_hThread, timeoutMs) == WAIT_OBJECT_0;
}

bool CWinThread::IsRunning() const {
    return m_hThread && WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT;
}

DWORD CWinThread::GetExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_hThread) GetExitCodeThread(m_hThread, &code);
    return code;
}
