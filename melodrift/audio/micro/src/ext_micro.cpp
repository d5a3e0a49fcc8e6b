// The capture engine on the wave-input device.
#include "micro/ext_micro.h"

#include "fw/win/thread.h"

#include <new>

class CCaptureThread : public CWinThread {
public:
    explicit CCaptureThread(CExtMicro& micro) : m_micro(micro) { m_bAutoDelete = FALSE; }
    int Run() override { return m_micro.CaptureLoop(); }

private:
    CExtMicro& m_micro;
};

namespace {

class CControlLock {
public:
    explicit CControlLock(CRITICAL_SECTION& section) : m_section(section) { EnterCriticalSection(&m_section); }
    ~CControlLock() { LeaveCriticalSection(&m_section); }
    CControlLock(const CControlLock&) = delete;
    CControlLock& operator=(const CControlLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

}  // namespace

CExtMicro::CExtMicro()
{
    InitializeCriticalSection(&m_control);
    m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = 1;
    m_format.nSamplesPerSec = 44100;
    m_format.nAvgBytesPerSec = 88200;
    m_format.nBlockAlign = 2;
    m_format.wBitsPerSample = 16;
    m_format.cbSize = 0;
}

CExtMicro::~CExtMicro()
{
    Close();
    JoinThread();
    if (m_wake) {
        CloseHandle(m_wake);
    }
    DeleteCriticalSection(&m_control);
}

void CExtMicro::SetState(std::int32_t state)
{
    InterlockedExchange(&m_state, state);
}

bool CExtMicro::OnCaptureThread() const
{
    return m_thread && m_thread->m_nThreadID == GetCurrentThreadId();
}

bool CExtMicro::IsCaptureThreadRunning() const
{
    return m_thread && m_thread->IsRunning();
}

void CExtMicro::JoinThread()
{
    if (!m_thread || OnCaptureThread()) {
        return;
    }
    SetEvent(m_wake);
    m_thread->Wait();
    delete m_thread;
    m_thread = nullptr;
}

std::int32_t CExtMicro::Start()
{
    CControlLock control(m_control);
    if (!m_callback) {
        return kMicroFailedState;
    }
    switch (GetState()) {
    case kMicroRecording:
        return kMicroOk;
    case kMicroFailed:
        return kMicroFailedState;
    case kMicroPaused:
        return Pause();   // resumes (the lock is this thread's already)
    default:
        break;
    }

    JoinThread();   // the thread of a capture that ended from its callback
    CloseDevice();
    auto fail = [&]() {
        SetState(kMicroFailed);
        SetEvent(m_wake);
        CloseDevice();
        JoinThread();
        return kMicroDeviceError;
    };

    ResetEvent(m_wake);
    m_fillCounter = 0;
    try {
        m_records.assign(static_cast<std::size_t>(m_bufferCount), BufferRecord());
        m_headers.assign(static_cast<std::size_t>(m_bufferCount), WAVEHDR{});
        m_data.assign(static_cast<std::size_t>(m_bufferCount),
                      std::vector<char>(static_cast<std::size_t>(m_bufferBytes)));
    } catch (const std::bad_alloc&) {
        return fail();
    }

    m_thread = new CCaptureThread(*this);
    if (!m_thread->CreateThread(CREATE_SUSPENDED)) {
        delete m_thread;
        m_thread = nullptr;
        return fail();
    }
    m_thread->SetThreadPriority(THREAD_PRIORITY_TIME_CRITICAL);
    m_thread->ResumeThread();

    if (waveInOpen(&m_device, WAVE_MAPPER, &m_format, reinterpret_cast<DWORD_PTR>(&CExtMicro::DeviceCallback),
                   reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        m_device = nullptr;
        return fail();
    }
    // Nothing is recorded before the buffers are ready.
    if (waveInStop(m_device) != MMSYSERR_NOERROR) {
        return fail();
    }
    for (std::int32_t i = 0; i < m_bufferCount; ++i) {
        WAVEHDR& h = m_headers[i];
        h.lpData = m_data[i].data();
        h.dwBufferLength = static_cast<DWORD>(m_bufferBytes);
        h.dwFlags = 0;
        h.dwLoops = 0;
        h.dwUser = reinterpret_cast<DWORD_PTR>(&m_records[i]);
        if (waveInPrepareHeader(m_device, &h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
            return fail();
        }
        m_prepared = i + 1;
        m_records[i].status = kQueued;
        if (waveInAddBuffer(m_device, &h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
            return fail();
        }
    }
    SetState(kMicroRecording);
    if (waveInStart(m_device) != MMSYSERR_NOERROR) {
        return fail();
    }
    return kMicroOk;
}

std::int32_t CExtMicro::Stop()
{
    bool onThread = false;
    {
        CControlLock control(m_control);
        const std::int32_t state = GetState();
        if (state == kMicroFailed) {
            return kMicroFailedState;
        }
        if (state == kMicroStopped) {
            return kMicroOk;
        }
        SetState(kMicroStopped);
        SetEvent(m_wake);
        onThread = OnCaptureThread();
    }
    if (onThread) {
        return kMicroOk;   // from the callback: the capture thread closes the device as it ends
    }
    // The capture thread may be delivering a buffer: wait for it (without the
    // lock, which its callback may want) before the buffers go.
    JoinThread();
    CControlLock control(m_control);
    CloseDevice();
    return kMicroOk;
}

std::int32_t CExtMicro::Pause()
{
    CControlLock control(m_control);
    switch (GetState()) {
    case kMicroRecording:
        if (waveInStop(m_device) != MMSYSERR_NOERROR) {
            return kMicroDeviceError;
        }
        SetState(kMicroPaused);
        return kMicroOk;
    case kMicroPaused:
        if (waveInStart(m_device) != MMSYSERR_NOERROR) {
            return kMicroDeviceError;
        }
        SetState(kMicroRecording);
        return kMicroOk;
    case kMicroFailed:
        return kMicroFailedState;
    default:
        return kMicroOk;
    }
}

std::int32_t CExtMicro::Close()
{
    const std::int32_t state = GetState();
    if (state == kMicroRecording || state == kMicroPaused) {
        Stop();
    }
    {
        CControlLock control(m_control);
        SetState(kMicroStopped);
    }
    if (!OnCaptureThread()) {
        JoinThread();
        CControlLock control(m_control);
        CloseDevice();
    }
    return kMicroOk;
}

const WAVEFORMATEX* CExtMicro::GetFormat()
{
    m_reported = m_format;
    m_reported.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    m_reported.cbSize = 0;
    return &m_reported;
}

std::int32_t CExtMicro::SetFormat(const WAVEFORMATEX* format)
{
    const std::int32_t state = GetState();
    if (state == kMicroFailed) {
        return kMicroFailedState;
    }
    if (state != kMicroStopped) {
        return kMicroNotStopped;
    }
    if (!format) {
        return kMicroDeviceError;
    }
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = format->nChannels;
    m_format.nSamplesPerSec = format->nSamplesPerSec;
    m_format.nAvgBytesPerSec = format->nAvgBytesPerSec;
    m_format.nBlockAlign = format->nBlockAlign;
    m_format.wBitsPerSample = format->wBitsPerSample;
    m_format.cbSize = 0;
    return kMicroOk;
}

std::int32_t CExtMicro::SetBufferCount(std::int32_t count)
{
    const std::int32_t state = GetState();
    if (state == kMicroFailed) {
        return kMicroFailedState;
    }
    if (state != kMicroStopped) {
        return kMicroNotStopped;
    }
    if (count < 1 || count > kMaxBuffers) {
        return kMicroDeviceError;
    }
    m_bufferCount = count;
    return kMicroOk;
}

std::int32_t CExtMicro::SetBufferBytes(std::int32_t bytes)
{
    const std::int32_t state = GetState();
    if (state == kMicroFailed) {
        return kMicroFailedState;
    }
    if (state != kMicroStopped) {
        return kMicroNotStopped;
    }
    if (bytes < 1 || bytes > kMaxBufferBytes) {
        return kMicroDeviceError;
    }
    m_bufferBytes = bytes;
    return kMicroOk;
}

std::int32_t CExtMicro::SetDataCallback(MicroDataCallback callback, std::uintptr_t userData)
{
    CControlLock control(m_control);
    const std::int32_t state = GetState();
    if (state == kMicroRecording || state == kMicroPaused) {
        return kMicroNotStopped;
    }
    if (callback == m_callback && userData == m_userData) {
        return kMicroOk;
    }
    if (m_callback) {
        m_callback(m_userData, nullptr, 0);
    }
    m_callback = callback;
    m_userData = userData;
    return kMicroOk;
}

void CALLBACK CExtMicro::DeviceCallback(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WIM_DATA || !instance || !param1) {
        return;
    }
    auto* self = reinterpret_cast<CExtMicro*>(instance);
    const std::int32_t state = self->GetState();
    if (state != kMicroRecording && state != kMicroPaused) {
        return;   // returned by a reset after Stop: discarded
    }
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    auto* record = reinterpret_cast<BufferRecord*>(header->dwUser);
    if (!record) {
        return;
    }
    record->tick = timeGetTime();
    record->sequence = static_cast<std::uint32_t>(InterlockedIncrement(&self->m_fillCounter));
    InterlockedExchange(&record->status, kFilled);
    SetEvent(self->m_wake);
}

int CExtMicro::CaptureLoop()
{
    auto running = [this]() {
        const std::int32_t state = GetState();
        return state != kMicroStopped && state != kMicroFailed;
    };
    WaitForSingleObject(m_wake, INFINITE);
    while (running()) {
        // Every filled buffer, earliest fill first. The order comes from a
        // count kept by the device callback: fill times in milliseconds tie
        // for short buffers, and buffer order is not fill order once the
        // buffers have gone round.
        for (;;) {
            BufferRecord* next = nullptr;
            std::size_t index = 0;
            for (std::size_t i = 0; i < m_records.size(); ++i) {
                BufferRecord& r = m_records[i];
                if (r.status == kFilled &&
                    (!next || static_cast<std::int32_t>(r.sequence - next->sequence) < 0)) {
                    next = &r;
                    index = i;
                }
            }
            if (!next || !running()) {
                break;
            }
            const WAVEHDR& h = m_headers[index];
            // The bytes recorded: all of the buffer, or less when a pause cut it short.
            const DWORD bytes = h.dwBytesRecorded;
            if (bytes > 0 && m_callback) {
                m_callback(m_userData, h.lpData, static_cast<std::int32_t>(bytes));
            }
            InterlockedExchange(&next->status, kFree);
        }
        if (!running()) {
            break;
        }
        for (std::size_t i = 0; i < m_records.size(); ++i) {
            if (m_records[i].status == kFree) {
                m_records[i].status = kQueued;
                waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR));
            }
        }
        WaitForSingleObject(m_wake, INFINITE);
    }
    // A stop (from the callback too) leaves the device to this thread, which
    // no longer touches the buffers.
    if (GetState() == kMicroStopped) {
        CControlLock control(m_control);
        CloseDevice();
    }
    ResetEvent(m_wake);
    return 0;
}

void CExtMicro::CloseDevice()
{
    if (m_device) {
        waveInReset(m_device);
        for (std::int32_t i = 0; i < m_prepared; ++i) {
            waveInUnprepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
        }
        waveInClose(m_device);
        m_device = nullptr;
    }
    m_prepared = 0;
    m_headers.clear();
    m_data.clear();
    m_records.clear();
}
