// CWinThread: a worker thread whose body is the virtual Run(). In the manner of
// MFC's worker threads:
//
//   class CScanThread : public CWinThread {
//       int Run() override { ...; return 1; }    // the return value is the exit code
//   };
//   auto* t = new CScanThread;
//   t->m_bAutoDelete = FALSE;                    // the creator deletes it
//   t->CreateThread();                            // or CreateThread(CREATE_SUSPENDED), then ResumeThread()
//   ...
//   WaitForSingleObject(t->m_hThread, INFINITE);
//   delete t;                                     // closes the handle
//
// With m_bAutoDelete left TRUE the object deletes itself (and closes its handle)
// when Run returns; it must then have been created with new, and its creator
// must not touch it after starting it.
#pragma once

#include <windows.h>

class CWinThread {
public:
    CWinThread();
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Starts the thread. createFlags may hold CREATE_SUSPENDED (the thread then
    // waits for ResumeThread) and STACK_SIZE_PARAM_IS_A_RESERVATION. Returns
    // false when the thread could not be created or was already created.
    bool CreateThread(DWORD createFlags = 0, UINT stackSize = 0, LPSECURITY_ATTRIBUTES security = nullptr);

    // The previous suspend count, or (DWORD)-1 on failure (as the system calls).
    DWORD ResumeThread();
    DWORD SuspendThread();
    bool SetThreadPriority(int priority);
    int GetThreadPriority() const;

    // Waits for the thread to end; true when it ended within the time-out.
    // A thread that was never created counts as ended.
    bool Wait(DWORD timeoutMs = INFINITE) const;
    // True from CreateThread until Run has returned.
    bool IsRunning() const;
    // The exit code (Run's result) once the thread ended; STILL_ACTIVE before.
    DWORD GetExitCode() const;

    operator HANDLE() const { return m_hThread; }

    // The thread body; its return value becomes the thread's exit code.
    virtual int Run() = 0;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;

private:
    static unsigned __stdcall ThreadEntry(void* param);
};
