// The playback engine's DirectSound device: opening it with its primary and
// stream buffers and notifications, retiring and releasing it, and what is
// read from it (the buffer's format, the play cursor, the frames played).
#include "player/ext_player_dx.h"

#include "com_release.h"

#include <cstring>

namespace {

constexpr DWORD kPrimaryFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_STICKYFOCUS;   // 0x4001
constexpr DWORD kStreamFlags = DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS |
                               DSBCAPS_GETCURRENTPOSITION2;                   // 0x18100

HWND CooperativeWindow()
{
    HWND window = GetForegroundWindow();
    return window ? window : GetDesktopWindow();
}

}  // namespace

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
