// The playback engine on DirectSound: its life, the feeder thread's start and
// end, the transport (play, stop, pause) and closing the device.
#include "player/ext_player_dx.h"

#include "com_release.h"
#include "fw/win/thread.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Names the calling thread for debuggers and profilers. The call exists from
// Windows 10 (1607) on; on older systems the thread stays unnamed.
void NameThisThread(const wchar_t* name)
{
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto set = reinterpret_cast<SetDescription>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription"));
    if (set) {
        set(GetCurrentThread(), name);
    }
}

}  // namespace

class CFeederThread : public CWinThread {
public:
    explicit CFeederThread(CExtPlayerDX& player) : m_player(player) { m_bAutoDelete = FALSE; }
    int Run() override
    {
        NameThisThread(CExtPlayerDX::kFeederThreadName);
        return m_player.FeederLoop();
    }

private:
    CExtPlayerDX& m_player;
};

CExtPlayerDX::CExtPlayerDX()
{
    // 36 bytes in the 32-bit programs (the 64-bit build of the tests has 8-byte pointers).
    static_assert(sizeof(void*) != 4 || sizeof(DSBUFFERDESC) == 36, "buffer descriptions of 36 bytes");
    m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_threadExitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_lingerEndEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CExtPlayerDX::~CExtPlayerDX()
{
    Close();
    JoinFeeder();
    ReleaseDevice();
    ReleaseObjects(m_lingering);
    if (m_stopEvent) {
        CloseHandle(m_stopEvent);
    }
    if (m_threadExitEvent) {
        CloseHandle(m_threadExitEvent);
    }
    if (m_lingerEndEvent) {
        CloseHandle(m_lingerEndEvent);
    }
}

bool CExtPlayerDX::IsFeederRunning() const
{
    return m_feeder && m_feeder->IsRunning();
}

void CExtPlayerDX::JoinFeeder()
{
    if (!m_feeder) {
        return;
    }
    if (m_feeder->m_nThreadID == GetCurrentThreadId()) {
        return;   // the feeder itself (a stop from its callback): it ends when it returns
    }
    SetEvent(m_stopEvent);
    SetEvent(m_lingerEndEvent);
    m_feeder->Wait();
    delete m_feeder;
    m_feeder = nullptr;
}

std::int32_t CExtPlayerDX::Play()
{
    {
        CPlayerLockGuard lock(m_callbackLock);
        if (!m_callback) {
            return kPlayerFailedState;
        }
    }
    CPlayerLockGuard control(m_controlLock);
    const std::int32_t state = GetState();
    if (state == kPlayerPlaying) {
        // The block and its read position belong to the feeder now.
        return kPlayerOk;
    }
    if (state == kPlayerPaused) {
        // Resumes where the buffer stopped: nothing of the block is dropped.
        return TogglePause(state);
    }
    if (state == kPlayerFailed) {
        return kPlayerFailedState;
    }

    // The device of a playback that ended by itself may still be letting out
    // its last samples: it is released only once the new one is open (the
    // system keeps the output stream of the two going).
    DeviceObjects ended;
    {
        CPlayerLockGuard device(m_deviceLock);
        std::swap(ended, m_lingering);
    }
    JoinFeeder();   // the thread object of a playback that ended by itself
    {
        CPlayerLockGuard lock(m_callbackLock);
        ClearBlock();
    }
    SetVolume(m_volume);
    ResetEffects();
    const std::int32_t opened = OpenDevice();
    ReleaseObjects(ended);
    if (opened != kPlayerOk) {
        SetStopReason(kStopStartFailed);
        return kPlayerDeviceError;
    }
    ResetEvent(m_stopEvent);
    ResetEvent(m_threadExitEvent);
    ResetEvent(m_lingerEndEvent);
    m_writePos = 0;
    {
        CPlayerLockGuard clock(m_clockLock);
        m_clock.Start(m_plan.bufferBytes);
    }
    bool failed = false;
    m_endedInFirstFill = !Refill(true, failed);
    const std::int32_t filledState = GetState();
    if (!failed && filledState != kPlayerPlaying && filledState != kPlayerPaused) {
        // The callback stopped the engine during the first fill.
        return kPlayerOk;
    }

    // A pause the callback asked for during the first fill holds: the feeder
    // starts all the same, and the buffer plays once the pause is lifted.
    if (!failed) {
        m_feeder = new CFeederThread(*this);
        failed = !m_feeder->CreateThread(CREATE_SUSPENDED);
        if (!failed) {
            m_feeder->SetThreadPriority(THREAD_PRIORITY_HIGHEST);
            m_feeder->ResumeThread();
        } else {
            delete m_feeder;
            m_feeder = nullptr;
        }
    }
    if (!failed && GetState() == kPlayerPlaying) {
        CPlayerLockGuard device(m_deviceLock);
        failed = FAILED(m_buffer->Play(0, 0, DSBPLAY_LOOPING));
    }
    if (failed) {
        JoinFeeder();
        ReleaseDevice();
        SetStopReason(kStopStartFailed);
        SetState(kPlayerFailed);
        return kPlayerDeviceError;
    }
    return kPlayerOk;
}

std::int32_t CExtPlayerDX::Stop(std::int32_t reason)
{
    if (reason != kStopRequested && reason != kStopDataEnded) {
        return kPlayerDeviceError;
    }
    const bool fromFeeder = m_feeder && m_feeder->m_nThreadID == GetCurrentThreadId();
    m_controlLock.Enter();
    std::int32_t state = GetState();
    if (state == kPlayerStopped) {
        m_controlLock.Leave();
        return kPlayerOk;
    }
    if (state == kPlayerFailed) {
        m_controlLock.Leave();
        return kPlayerFailedState;
    }
    if (reason == kStopDataEnded && WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0) {
        // A requested stop is under way: it finishes the job.
        m_controlLock.Leave();
        return kPlayerOk;
    }
    SetEvent(m_stopEvent);
    if (reason == kStopRequested && !fromFeeder) {
        // Wait for the feeder to leave before touching the buffer, without
        // holding the lock it may need to finish.
        m_controlLock.Leave();
        JoinFeeder();
        m_controlLock.Enter();
        state = GetState();
        if (state == kPlayerStopped || state == kPlayerFailed) {
            m_controlLock.Leave();
            return state == kPlayerStopped ? kPlayerOk : kPlayerFailedState;
        }
    }
    {
        CPlayerLockGuard device(m_deviceLock);
        if (reason == kStopDataEnded && fromFeeder) {
            RetireDevice();
        } else if (m_buffer) {
            m_buffer->Stop();
        }
    }
    SetStopReason(reason);
    SetState(kPlayerStopped);
    CloseDevice();
    PlayerDataCallback callback = m_callback;
    const std::uintptr_t userData = m_userData;
    m_controlLock.Leave();

    if (reason == kStopDataEnded) {
        CPlayerLockGuard lock(m_callbackLock);
        SendNotice(callback, userData, 1);
    }
    return kPlayerOk;
}

std::int32_t CExtPlayerDX::Pause()
{
    CPlayerLockGuard control(m_controlLock);
    return TogglePause(GetState());
}

std::int32_t CExtPlayerDX::TogglePause(std::int32_t state)
{
    if (state == kPlayerFailed) {
        return kPlayerFailedState;
    }
    if (state != kPlayerPlaying && state != kPlayerPaused) {
        return kPlayerOk;
    }
    CPlayerLockGuard device(m_deviceLock);
    if (!m_buffer) {
        SetState(kPlayerFailed);
        return kPlayerDeviceError;
    }
    if (state == kPlayerPlaying) {
        if (FAILED(m_buffer->Stop())) {
            SetState(kPlayerFailed);
            return kPlayerDeviceError;
        }
        SetState(kPlayerPaused);
    } else {
        if (FAILED(m_buffer->Play(0, 0, DSBPLAY_LOOPING))) {
            SetState(kPlayerFailed);
            return kPlayerDeviceError;
        }
        SetState(kPlayerPlaying);
    }
    return kPlayerOk;
}

std::int32_t CExtPlayerDX::CloseDevice()
{
    const std::int32_t state = GetState();
    if (state != kPlayerStopped && state != kPlayerFailed) {
        Stop(kStopRequested);
    }
    if (m_feeder && m_feeder->m_nThreadID == GetCurrentThreadId()) {
        return kPlayerOk;   // the feeder releases the device as it ends
    }
    JoinFeeder();
    ReleaseDevice();
    return kPlayerOk;
}
