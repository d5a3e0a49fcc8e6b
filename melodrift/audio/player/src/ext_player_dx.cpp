// The playback engine on DirectSound: device, notifications, feeder thread.
#include "player/ext_player_dx.h"

#include "dsp/pcm16.h"
#include "fw/win/thread.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr DWORD kPrimaryFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_STICKYFOCUS;   // 0x4001
constexpr DWORD kStreamFlags = DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS |
                               DSBCAPS_GETCURRENTPOSITION2;                   // 0x18100

template <class T>
void ReleaseObject(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

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

HWND CooperativeWindow()
{
    HWND window = GetForegroundWindow();
    return window ? window : GetDesktopWindow();
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

std::int32_t CExtPlayerDX::OpenDevice()
{
    SetStopReason(kStopNone);
    CPlayerLockGuard device(m_deviceLock);
    ReleaseDevice();

    // The device format, fixed for this playback.
    bool surround = false;
    WAVEFORMATEXTENSIBLE format;
    {
        CPlayerLockGuard effects(m_effectsLock);
        surround = m_surroundOn;
        format = m_format;
        if (surround) {
            const WORD channels = static_cast<WORD>(m_surround->GetOutputChannels());
            format.Format.nChannels = channels;
            format.Format.nBlockAlign = static_cast<WORD>(2 * channels);
            format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * format.Format.nSamplesPerSec;
            format.Samples.wValidBitsPerSample = 0;
            format.dwChannelMask = m_surround->GetOutputChannelMask();
            format.SubFormat = m_format.SubFormat;
        }
    }
    // Segments of a fixed length of time, in whole frames, so no refill ever splits one.
    const std::uint32_t bufferBytes =
        player::DeviceBufferBytes(player::SegmentFrames(m_segmentBytes, format.Format.nSamplesPerSec), m_segmentCount,
                                  format.Format.nBlockAlign);
    auto fail = [&]() {
        ReleaseDevice();
        SetState(kPlayerFailed);
        return kPlayerDeviceError;
    };
    if (format.Format.nChannels < 1 || bufferBytes == 0) {
        return fail();
    }
    m_deviceFormat = format;
    m_deviceSurround = surround;
    m_plan = player::PlanSegments(m_segmentCount, bufferBytes);
    // Room for a rewrite's seam, made here so that the feeder allocates nothing.
    try {
        m_seamOld.assign(static_cast<std::size_t>(format.Format.nSamplesPerSec * kSeamMs / 1000 + 1) * format.Format.nChannels, 0);
    } catch (...) {
        m_seamOld.clear();
    }
    m_seamFrames = m_seamAt = 0;
    m_seamPending = false;
    m_discardFrames = 0;
    InterlockedExchange(&m_rewriteRequested, 0);

    if (FAILED(DirectSoundCreate(nullptr, &m_sound, nullptr)) || !m_sound) {
        return fail();
    }
    if (FAILED(m_sound->SetCooperativeLevel(CooperativeWindow(), DSSCL_EXCLUSIVE))) {
        return fail();
    }
    DSBUFFERDESC primary = {};
    primary.dwSize = sizeof(primary);
    primary.dwFlags = kPrimaryFlags;
    if (FAILED(m_sound->CreateSoundBuffer(&primary, &m_primary, nullptr)) || !m_primary) {
        return fail();
    }
    if (FAILED(m_primary->SetFormat(&m_deviceFormat.Format))) {
        return fail();
    }
    DSBUFFERDESC stream = {};
    stream.dwSize = sizeof(stream);
    stream.dwFlags = kStreamFlags;
    stream.dwBufferBytes = bufferBytes;
    stream.lpwfxFormat = &m_deviceFormat.Format;
    if (FAILED(m_sound->CreateSoundBuffer(&stream, &m_buffer, nullptr)) || !m_buffer) {
        return fail();
    }
    if (FAILED(m_buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&m_notify))) ||
        !m_notify) {
        return fail();
    }
    DSBPOSITIONNOTIFY positions[player::kMaxSegments];
    for (std::int32_t e = 0; e < m_plan.events; ++e) {
        m_segmentEvents[e] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!m_segmentEvents[e]) {
            return fail();
        }
        m_eventCount = e + 1;
    }
    for (std::int32_t j = 0; j < m_plan.segments; ++j) {
        positions[j].dwOffset = m_plan.NotificationOffset(j);
        positions[j].hEventNotify = m_segmentEvents[m_plan.EventOf(j)];
    }
    if (FAILED(m_notify->SetNotificationPositions(static_cast<DWORD>(m_plan.segments), positions))) {
        return fail();
    }
    SetState(kPlayerPlaying);
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

void CExtPlayerDX::ReleaseObjects(DeviceObjects& objects)
{
    if (objects.buffer) {
        objects.buffer->Stop();
    }
    ReleaseObject(objects.notify);
    ReleaseObject(objects.buffer);
    ReleaseObject(objects.primary);
    ReleaseObject(objects.sound);
    for (std::int32_t e = 0; e < objects.eventCount; ++e) {
        CloseHandle(objects.events[e]);
        objects.events[e] = nullptr;
    }
    objects.eventCount = 0;
}

CExtPlayerDX::DeviceObjects CExtPlayerDX::TakeDevice()
{
    DeviceObjects taken;
    std::swap(taken.sound, m_sound);
    std::swap(taken.primary, m_primary);
    std::swap(taken.buffer, m_buffer);
    std::swap(taken.notify, m_notify);
    for (std::int32_t e = 0; e < m_eventCount; ++e) {
        std::swap(taken.events[e], m_segmentEvents[e]);
    }
    std::swap(taken.eventCount, m_eventCount);
    return taken;
}

void CExtPlayerDX::RetireDevice()
{
    ReleaseObjects(m_lingering);
    m_lingering = TakeDevice();
}

void CExtPlayerDX::ReleaseDevice()
{
    CPlayerLockGuard device(m_deviceLock);
    if (m_refillThread == GetCurrentThreadId()) {
        // A stop from inside the callback: the refill still holds the buffer locked.
        m_releasePending = true;
        return;
    }
    DeviceObjects open = TakeDevice();
    ReleaseObjects(open);
}

bool CExtPlayerDX::QueryBufferFormat(WAVEFORMATEXTENSIBLE& format)
{
    CPlayerLockGuard device(m_deviceLock);
    if (!m_buffer) {
        return false;
    }
    DWORD written = 0;
    std::memset(&format, 0, sizeof(format));
    return SUCCEEDED(m_buffer->GetFormat(&format.Format, sizeof(format), &written));
}

bool CExtPlayerDX::ReadPlayCursor(DWORD& play)
{
    CPlayerLockGuard clock(m_clockLock);
    if (FAILED(m_buffer->GetCurrentPosition(&play, nullptr))) {
        return false;
    }
    m_clock.Cursor(play);
    return true;
}

std::int64_t CExtPlayerDX::GetPlayedFrames()
{
    CPlayerLockGuard device(m_deviceLock);
    const std::int32_t state = GetState();
    DWORD play = 0;
    if (m_buffer && (state == kPlayerPlaying || state == kPlayerPaused)) {
        ReadPlayCursor(play);
    }
    CPlayerLockGuard clock(m_clockLock);
    const std::uint32_t frameBytes = m_deviceFormat.Format.nBlockAlign;
    return frameBytes ? static_cast<std::int64_t>(m_clock.PlayedData() / frameBytes) : 0;
}

std::int32_t CExtPlayerDX::RequestRewrite()
{
    CPlayerLockGuard device(m_deviceLock);
    const std::int32_t state = GetState();
    if ((state != kPlayerPlaying && state != kPlayerPaused) || !m_buffer || m_eventCount == 0 || m_deviceSurround) {
        return kPlayerFailedState;
    }
    InterlockedExchange(&m_rewriteRequested, 1);
    SetEvent(m_segmentEvents[0]);   // wakes the feeder, which refills up to the cursor in any case
    return kPlayerOk;
}

void CExtPlayerDX::Rewrite()
{
    const std::uint32_t frameBytes = m_deviceFormat.Format.nBlockAlign;
    const std::uint32_t rate = m_deviceFormat.Format.nSamplesPerSec;
    const std::uint32_t bufferBytes = m_plan.bufferBytes;
    if (frameBytes == 0 || bufferBytes == 0 || m_seamOld.empty() || GetStopReason() == kStopDataEnded) {
        return;
    }
    DWORD play = 0;
    DWORD write = 0;
    {
        CPlayerLockGuard clock(m_clockLock);
        if (FAILED(m_buffer->GetCurrentPosition(&play, &write))) {
            return;
        }
        m_clock.Cursor(play);
    }
    // What the device may still take before the new samples are in place: up
    // to its write cursor, and a margin for the time the rewrite takes.
    const std::uint32_t margin = rate * kRewriteMarginMs / 1000 * frameBytes;
    const std::uint32_t toWrite = (write + bufferBytes - play) % bufferBytes + margin;
    const std::uint32_t written = (m_writePos + bufferBytes - play) % bufferBytes;   // ahead of the cursor
    if (written <= toWrite) {
        return;
    }
    const std::int32_t ahead = static_cast<std::int32_t>((written - toWrite) / frameBytes);
    const std::int32_t unconverted = std::max(0, m_block.filled - m_readPos);
    // With the equalizer on, its delay holds frames given but not yet out, and
    // it starts over from a run-in of a block before the place taken back.
    bool equalizer = false;
    {
        CPlayerLockGuard effects(m_effectsLock);
        equalizer = m_equalizerOn;
    }
    const std::int32_t runIn = equalizer ? CEqualizer::kDelay + CEqualizer::kBlockSize : 0;
    const std::int32_t taken = AskToTakeBack(ahead + unconverted + runIn);
    if (taken <= 0) {
        return;
    }
    if (taken <= unconverted) {
        m_block.filled -= taken;   // the frames given again follow the rest of the block
        return;
    }
    m_block.filled = m_readPos;
    const std::int32_t rewritten = taken - unconverted - runIn;
    if (rewritten <= 0) {
        m_discardFrames = taken - unconverted;   // too little history for a run-in: those frames are not heard twice
        return;
    }
    if (equalizer) {
        CPlayerLockGuard effects(m_effectsLock);
        for (auto& eq : m_equalizers) {
            eq->Reset();
        }
        m_discardFrames = runIn;
    }
    const std::uint32_t back = static_cast<std::uint32_t>(rewritten) * frameBytes;
    m_writePos = (m_writePos + bufferBytes - back) % bufferBytes;
    {
        CPlayerLockGuard clock(m_clockLock);
        m_clock.Unwritten(back);
    }
    const std::int32_t channels = m_deviceFormat.Format.nChannels;
    m_seamFrames = std::min<std::int32_t>(rewritten, static_cast<std::int32_t>(m_seamOld.size()) / channels);
    m_seamAt = 0;
    m_seamPending = true;
}

void CExtPlayerDX::BlendSeam(BYTE* dest, std::int32_t frames)
{
    const std::int32_t channels = m_deviceFormat.Format.nChannels;
    auto* samples = reinterpret_cast<std::int16_t*>(dest);
    for (std::int32_t f = 0; f < frames && m_seamAt < m_seamFrames; ++f, ++m_seamAt) {
        // Equal power: the old and the new samples are different sounds.
        const float t = (static_cast<float>(m_seamAt) + 0.5f) / static_cast<float>(m_seamFrames);
        const float in = std::sin(1.5707963f * t);
        const float out = std::cos(1.5707963f * t);
        for (std::int32_t c = 0; c < channels; ++c) {
            const std::size_t i = static_cast<std::size_t>(f) * channels + c;
            const float v = samples[i] * in + m_seamOld[static_cast<std::size_t>(m_seamAt) * channels + c] * out;
            samples[i] = static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
        }
    }
}

int CExtPlayerDX::FeederLoop()
{
    HANDLE handles[player::kMaxSegmentEvents + 1];
    const std::int32_t events = m_eventCount;
    for (std::int32_t e = 0; e < events; ++e) {
        handles[e] = m_segmentEvents[e];
    }
    handles[events] = m_stopEvent;
    // The play cursor tells what the device has taken from the buffer; it
    // still holds some of it queued for a while. Once the cursor has passed
    // the end of the data, the end is declared and the device is kept open
    // this long (half the buffer at most, which is silence by then), so that
    // it lets out everything before it is closed.
    const std::uint64_t byteRate = std::max<DWORD>(m_deviceFormat.Format.nAvgBytesPerSec, 1);
    const DWORD lingerMs = static_cast<DWORD>(std::min<std::uint64_t>(200, m_plan.bufferBytes / 2 * 1000 / byteRate));
    bool dataEnded = m_endedInFirstFill;   // the data may end within the first fill
    bool ended = false;

    for (;;) {
        // Once the data has ended, the thread also wakes when the cursor
        // should have reached the end, whatever the segments' length.
        DWORD timeout = INFINITE;
        if (dataEnded) {
            std::uint64_t left = 0;
            {
                CPlayerLockGuard clock(m_clockLock);
                left = m_clock.ToBeHeard(0);
            }
            timeout = static_cast<DWORD>(std::clamp<std::uint64_t>(left * 1000 / byteRate + 1, 5, 1000));
        }
        const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(events + 1), handles, FALSE, timeout);
        std::int32_t index = -1;   // the segment event that fired, or -1 for a timed look
        if (result != WAIT_TIMEOUT) {
            if (result < WAIT_OBJECT_0 || result >= WAIT_OBJECT_0 + static_cast<DWORD>(events + 1)) {
                break;
            }
            index = static_cast<std::int32_t>(result - WAIT_OBJECT_0);
            if (index == events) {
                break;
            }
        }
        DWORD play = 0;
        if (!ReadPlayCursor(play)) {
            SetState(kPlayerFailed);
            break;
        }
        bool heard = false;
        {
            CPlayerLockGuard clock(m_clockLock);
            heard = m_clock.Heard(0);
        }
        // The last sample written has been played: the end of the data is
        // declared now. The buffer is filled with silence up to the cursor
        // first, so that it holds nothing old while the device lingers.
        if (dataEnded && heard) {
            bool failed = false;
            Refill(false, failed);
            ended = true;
            Stop(kStopDataEnded);
            break;
        }
        if (index < 0) {
            continue;
        }
        if (InterlockedExchange(&m_rewriteRequested, 0) && !dataEnded) {
            Rewrite();
        }
        // A segment has been played: it is filled again (with silence once
        // the data has ended, so the ring never plays old samples again).
        bool failed = false;
        const bool complete = Refill(false, failed);
        if (failed) {
            CPlayerLockGuard device(m_deviceLock);
            if (m_buffer) {
                m_buffer->Stop();
            }
            SetState(kPlayerFailed);
            break;
        }
        const std::int32_t state = GetState();
        if (state != kPlayerPlaying && state != kPlayerPaused) {
            break;   // stopped from the callback
        }
        if (!complete) {
            dataEnded = true;
        }
        ResetEvent(handles[index]);
    }
    // A playback this thread ended (end of data, a stop from the callback, a
    // device failure) leaves the device to it.
    const std::int32_t state = GetState();
    if (state != kPlayerPlaying && state != kPlayerPaused) {
        ReleaseDevice();
    }
    // The device of a playback that reached its end lets out its last
    // samples, unless a new start or a close comes first (a start takes it
    // over and releases it once its own device is open).
    if (ended) {
        WaitForSingleObject(m_lingerEndEvent, lingerMs);
        CPlayerLockGuard device(m_deviceLock);
        ReleaseObjects(m_lingering);
    }
    SetEvent(m_threadExitEvent);
    return 0;
}

bool CExtPlayerDX::Refill(bool wholeWhenEqual, bool& deviceFailed)
{
    deviceFailed = false;
    if (GetStopReason() == kStopDataEnded) {
        return false;
    }
    DWORD play = 0;
    if (!ReadPlayCursor(play)) {
        deviceFailed = true;
        return false;
    }
    const std::uint32_t span = player::FreeSpan(m_writePos, play, m_plan.bufferBytes, wholeWhenEqual);
    if (span == 0) {
        return true;
    }
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0;
    DWORD secondBytes = 0;
    HRESULT hr = m_buffer->Lock(m_writePos, span, &first, &firstBytes, &second, &secondBytes, 0);
    if (hr == DSERR_BUFFERLOST && SUCCEEDED(m_buffer->Restore())) {
        hr = m_buffer->Lock(m_writePos, span, &first, &firstBytes, &second, &secondBytes, 0);
    }
    if (FAILED(hr) || !first) {
        deviceFailed = true;
        return false;
    }
    if (m_seamPending) {
        // What the buffer holds where the rewrite starts, to fade from.
        m_seamPending = false;
        const std::uint32_t seamBytes = static_cast<std::uint32_t>(m_seamFrames) * m_deviceFormat.Format.nBlockAlign;
        const std::uint32_t fromFirst = std::min<std::uint32_t>(seamBytes, firstBytes);
        std::memcpy(m_seamOld.data(), first, fromFirst);
        if (second && fromFirst < seamBytes) {
            std::memcpy(reinterpret_cast<BYTE*>(m_seamOld.data()) + fromFirst, second,
                        std::min<std::uint32_t>(seamBytes - fromFirst, secondBytes));
        }
    }
    m_refillThread = GetCurrentThreadId();
    bool ended = false;
    std::uint32_t real = 0;
    std::uint32_t filled = Fill(static_cast<BYTE*>(first), firstBytes, ended, real);
    std::memset(static_cast<BYTE*>(first) + filled, 0, firstBytes - filled);
    std::uint32_t total = filled;
    if (second && secondBytes) {
        std::uint32_t secondReal = 0;
        filled = ended ? 0 : Fill(static_cast<BYTE*>(second), secondBytes, ended, secondReal);
        std::memset(static_cast<BYTE*>(second) + filled, 0, secondBytes - filled);
        if (secondReal > 0) {
            real = total + secondReal;
        }
        total += filled;
    }
    m_buffer->Unlock(first, firstBytes, second, secondBytes);
    if (ended) {
        // The silence written counts too: left behind, the stretch would keep
        // old samples that the cursor plays again before the engine stops.
        const std::uint32_t frameBytes = m_deviceFormat.Format.nBlockAlign;
        total = (firstBytes + secondBytes) / frameBytes * frameBytes;
    }
    m_writePos = (m_writePos + total) % m_plan.bufferBytes;
    {
        CPlayerLockGuard clock(m_clockLock);
        m_clock.Written(real, total);
    }
    m_refillThread = 0;
    if (m_releasePending) {
        m_releasePending = false;
        ReleaseDevice();
    }
    return !ended;
}

std::uint32_t CExtPlayerDX::Fill(BYTE* dest, std::uint32_t bytes, bool& ended, std::uint32_t& real)
{
    const std::uint32_t frameBytes = m_deviceFormat.Format.nBlockAlign;
    std::uint32_t written = 0;
    real = 0;
    while (bytes - written >= frameBytes) {
        if (m_readPos < m_block.filled) {
            const std::int32_t frames = std::min<std::int32_t>(
                m_block.filled - m_readPos, static_cast<std::int32_t>((bytes - written) / frameBytes));
            // The device format is always 16-bit PCM (SetFormat takes no other).
            const std::int32_t converted =
                ConvertBlockToPcm16(&m_block, m_readPos, frames, m_deviceFormat.Format.nChannels, dest + written);
            if (converted <= 0) {
                m_readPos = m_block.filled;   // a block that cannot be converted is skipped
                continue;
            }
            if (m_seamAt < m_seamFrames) {
                BlendSeam(dest + written, converted);
            }
            m_readPos += converted;
            written += static_cast<std::uint32_t>(converted) * frameBytes;
            real = written;
            continue;
        }
        if (!PullBlock(m_deviceSurround) || WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0) {
            ended = true;   // the data ended, or the callback stopped the engine
            break;
        }
        if (m_discardFrames > 0) {
            const std::int32_t dropped = std::min(m_discardFrames, m_block.filled);
            m_readPos = dropped;
            m_discardFrames -= dropped;
            if (m_block.filled > 0 && m_readPos >= m_block.filled) {
                continue;   // all of it dropped: the next block
            }
        }
        if (m_block.filled == 0) {
            // Data to come but none now: silence for the rest of this piece.
            const std::uint32_t silent = (bytes - written) / frameBytes * frameBytes;
            std::memset(dest + written, 0, silent);
            written += silent;
            break;
        }
    }
    return written;
}
