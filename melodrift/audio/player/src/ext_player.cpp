// The playback engine's state, block, effect chain and settings.
#include "player/ext_player.h"

#include "player/segment_plan.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

const GUID kPcmSubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

WAVEFORMATEXTENSIBLE DefaultFormat()
{
    WAVEFORMATEXTENSIBLE f = {};
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = 2;
    f.Format.nSamplesPerSec = 44100;
    f.Format.nAvgBytesPerSec = 176400;
    f.Format.nBlockAlign = 4;
    f.Format.wBitsPerSample = 16;
    f.Format.cbSize = 22;
    f.Samples.wValidBitsPerSample = 0;
    f.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    f.SubFormat = kPcmSubFormat;
    return f;
}

// The usual speaker mask of a plain format's channel count.
DWORD DefaultChannelMask(WORD channels)
{
    switch (channels) {
    case 1: return SPEAKER_FRONT_CENTER;
    case 2: return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    case 3: return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER;
    case 4: return 0x33;
    case 5: return 0x37;
    case 6: return 0x3F;
    case 7: return 0x63B;
    default: return 0x63F;
    }
}

}  // namespace

CExtPlayer::CExtPlayer() : m_format(DefaultFormat()), m_surround(CreateSurroundProcessor())
{
    static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40, "the format is exchanged as 40 bytes");
    for (float& g : m_equalizerGains) {
        g = 1.0f;
    }
    for (auto& eq : m_equalizers) {
        eq = std::make_unique<CEqualizer>();
        eq->SetSampleRate(static_cast<std::int32_t>(m_format.Format.nSamplesPerSec));
        eq->SetGains(m_equalizerGains);
    }
    AllocateBlock(BlockFrames(m_segmentBytes));
    m_surround->SetInputFormat(&m_format);
    ReadSystemVolume(m_volume, m_balance);
    m_gains = ComputeVolumeBalanceGains(m_volume, m_balance);
}

CExtPlayer::~CExtPlayer() = default;

std::int32_t CExtPlayer::Close()
{
    const std::int32_t state = GetState();
    if (state != kPlayerStopped) {
        CloseDevice();
    }
    SetState(kPlayerStopped);
    SetStopReason(kStopNone);
    return kPlayerOk;
}

std::int32_t CExtPlayer::SetFormat(const WAVEFORMATEXTENSIBLE* format)
{
    if (!format) {
        return kPlayerDeviceError;
    }
    // The plain header first: the extension is read only when it says it has one.
    WAVEFORMATEX head;
    std::memcpy(&head, format, sizeof(head));
    const bool extensible = head.wFormatTag == WAVE_FORMAT_EXTENSIBLE && head.cbSize >= 22;
    if ((head.wFormatTag != WAVE_FORMAT_PCM && !extensible) || head.nChannels < 1 || head.nChannels > 8 ||
        head.wBitsPerSample != 16 || head.nBlockAlign != 2 * head.nChannels || head.nSamplesPerSec < 1 ||
        head.nSamplesPerSec > 384000) {
        return kPlayerDeviceError;
    }
    if (extensible && format->SubFormat != kPcmSubFormat) {
        return kPlayerDeviceError;
    }

    if (GetState() == kPlayerFailed) {
        Close();
    }
    if (GetState() != kPlayerStopped) {
        return kPlayerNotStopped;
    }

    WAVEFORMATEXTENSIBLE f = DefaultFormat();
    if (extensible) {
        f = *format;
        f.Format.cbSize = 22;
    } else {
        f.dwChannelMask = DefaultChannelMask(head.nChannels);
    }
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = head.nChannels;
    f.Format.nSamplesPerSec = head.nSamplesPerSec;
    f.Format.nBlockAlign = head.nBlockAlign;
    f.Format.wBitsPerSample = 16;
    f.Format.nAvgBytesPerSec = head.nSamplesPerSec * head.nBlockAlign;

    const DWORD oldRate = m_format.Format.nSamplesPerSec;
    {
        CPlayerLockGuard lock(m_effectsLock);
        m_format = f;
        m_surround->SetInputFormat(&m_format);
        // The equalizers follow a new rate at once, so the bands stay where they are.
        if (oldRate != m_format.Format.nSamplesPerSec) {
            for (auto& eq : m_equalizers) {
                eq->SetSampleRate(static_cast<std::int32_t>(m_format.Format.nSamplesPerSec));
                eq->SetGains(m_equalizerGains);
            }
        }
    }
    return AllocateBlock(BlockFrames(m_segmentBytes)) ? kPlayerOk : kPlayerDeviceError;
}

std::int32_t CExtPlayer::SetSegmentCount(std::int32_t count)
{
    const std::int32_t state = GetState();
    if (state == kPlayerFailed) {
        return kPlayerFailedState;
    }
    if (state != kPlayerStopped) {
        return kPlayerNotStopped;
    }
    if (count < 1 || count > player::kMaxSegments) {
        return kPlayerDeviceError;
    }
    m_segmentCount = count;
    return kPlayerOk;
}

std::int32_t CExtPlayer::SetVolume(std::int32_t volume)
{
    m_volume = ClampPercent(volume);
    return SetBalance(m_balance);
}

std::int32_t CExtPlayer::SetBalance(std::int32_t balance)
{
    m_balance = ClampPercent(balance);
    if (GetState() != kPlayerFailed) {
        CPlayerLockGuard lock(m_effectsLock);
        m_gains = ComputeVolumeBalanceGains(m_volume, m_balance);
    }
    return kPlayerOk;
}

std::int32_t CExtPlayer::SetSegmentBytes(std::int32_t bytes)
{
    const std::int32_t state = GetState();
    if (state == kPlayerFailed) {
        return kPlayerFailedState;
    }
    if (state != kPlayerStopped) {
        return kPlayerNotStopped;
    }
    const std::int64_t frames = player::SegmentFrames(bytes, m_format.Format.nSamplesPerSec);
    if (frames < 1 || frames > kMaxBlockFrames) {
        return kPlayerDeviceError;
    }
    if (bytes != m_segmentBytes) {
        if (!AllocateBlock(static_cast<std::int32_t>(frames))) {
            return kPlayerDeviceError;
        }
        m_segmentBytes = bytes;
    }
    return kPlayerOk;
}

std::int32_t CExtPlayer::SetDataCallback(PlayerDataCallback callback, std::uintptr_t userData)
{
    const std::int32_t state = GetState();
    if (state == kPlayerPlaying || state == kPlayerPaused) {
        return kPlayerNotStopped;
    }
    CPlayerLockGuard lock(m_callbackLock);
    if (callback == m_callback && userData == m_userData) {
        return kPlayerOk;
    }
    if (m_callback) {
        SampleBlock empty = {0, nullptr, 0, 0};
        m_callback(m_userData, &empty, 0);
    }
    m_callback = callback;
    m_userData = userData;
    return kPlayerOk;
}

void CExtPlayer::SetEqualizer(const float* gains, std::int32_t count, bool on)
{
    if (!gains || count != CEqualizer::kBandCount) {
        return;
    }
    CPlayerLockGuard lock(m_effectsLock);
    std::copy(gains, gains + CEqualizer::kBandCount, m_equalizerGains);
    m_equalizerOn = on;
    for (auto& eq : m_equalizers) {
        eq->SetSampleRate(static_cast<std::int32_t>(m_format.Format.nSamplesPerSec));
        eq->SetGains(m_equalizerGains);
    }
}

void CExtPlayer::SetSurroundOn(bool on)
{
    CPlayerLockGuard lock(m_effectsLock);
    m_surroundOn = on;
}

void CExtPlayer::SetSurroundParam(std::int32_t code, std::int32_t value)
{
    CPlayerLockGuard lock(m_effectsLock);
    ApplySurroundCode(*m_surround, code, value);
}

void CExtPlayer::SetSurroundSoundPos(float x, float y)
{
    CPlayerLockGuard lock(m_effectsLock);
    m_surround->SetSoundPos(x, y, true);
}

void CExtPlayer::SetSurroundPreset(const SurroundPreset& preset)
{
    Pause();
    {
        CPlayerLockGuard lock(m_effectsLock);
        ApplySurroundPresetValues(*m_surround, preset);
    }
    Pause();
}

std::int32_t CExtPlayer::GetSurroundChannels()
{
    CPlayerLockGuard lock(m_effectsLock);
    return m_surround->GetOutputChannels();
}

std::uint32_t CExtPlayer::GetSurroundChannelMask()
{
    CPlayerLockGuard lock(m_effectsLock);
    return m_surround->GetOutputChannelMask();
}

std::int32_t CExtPlayer::BlockFrames(std::int32_t segmentBytes) const
{
    const std::int64_t frames = player::SegmentFrames(segmentBytes, m_format.Format.nSamplesPerSec);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(frames, 1, kMaxBlockFrames));
}

bool CExtPlayer::AllocateBlock(std::int32_t frames)
{
    const std::int32_t slots = std::max<std::int32_t>(kBlockSlots, m_format.Format.nChannels);
    CPlayerLockGuard lock(m_effectsLock);
    try {
        std::vector<float> data(static_cast<std::size_t>(slots) * static_cast<std::size_t>(frames), 0.0f);
        std::vector<float*> table(static_cast<std::size_t>(slots));
        m_blockData.swap(data);
        m_blockTable.swap(table);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::int32_t c = 0; c < slots; ++c) {
        m_blockTable[c] = m_blockData.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(frames);
    }
    m_block.reserved = 0;
    m_block.channels = m_blockTable.data();
    m_block.capacity = frames;
    m_block.filled = 0;
    m_readPos = 0;
    return true;
}

void CExtPlayer::ClearBlock()
{
    std::fill(m_blockData.begin(), m_blockData.end(), 0.0f);
    m_block.reserved = 0;
    m_block.channels = m_blockTable.data();
    m_block.capacity = m_blockData.empty() ? 0 : static_cast<std::int32_t>(m_blockData.size() / m_blockTable.size());
    m_block.filled = 0;
    m_readPos = 0;
}

std::int32_t CExtPlayer::AskToTakeBack(std::int32_t frames)
{
    CPlayerLockGuard lock(m_callbackLock);
    if (!m_callback || frames <= 0) {
        return 0;
    }
    SampleBlock notice = {0, nullptr, 2, frames};
    if (!m_callback(m_userData, &notice, 0)) {
        return 0;
    }
    return std::clamp(notice.filled, 0, frames);
}

bool CExtPlayer::PullBlock(bool surround)
{
    int result = 0;
    {
        CPlayerLockGuard lock(m_callbackLock);
        const std::int32_t capacity = m_block.capacity;
        // A fresh block: every array cleared (the surround output may have used them all).
        for (std::int32_t c = 0; c < static_cast<std::int32_t>(m_blockTable.size()); ++c) {
            std::fill(m_blockTable[c], m_blockTable[c] + capacity, 0.0f);
        }
        m_block.reserved = 0;
        m_block.channels = m_blockTable.data();
        m_block.filled = 0;
        m_readPos = 0;
        if (m_callback) {
            result = m_callback(m_userData, &m_block, 0);
        }
        // What the callback may have changed besides the samples and the count.
        m_block.reserved = 0;
        m_block.channels = m_blockTable.data();
        m_block.capacity = capacity;
        m_block.filled = result ? std::clamp(m_block.filled, 0, capacity) : 0;
    }
    if (result == 0) {
        // The equalizer still holds the last samples given (its delay):
        // they are let out with silence behind them before the data counts
        // as ended.
        if (m_flushLeft <= 0) {
            return false;
        }
        CPlayerLockGuard lock(m_effectsLock);
        if (!m_equalizerOn) {
            m_flushLeft = 0;
            return false;
        }
        m_block.filled = std::min(m_block.capacity, m_flushLeft);
        m_flushLeft -= m_block.filled;
    }
    ApplyEffects(surround);
    return true;
}

void CExtPlayer::ApplyEffects(bool surround)
{
    CPlayerLockGuard lock(m_effectsLock);
    const std::int32_t frames = m_block.filled;
    if (frames < 1) {
        return;
    }
    const std::int32_t channels = m_format.Format.nChannels;
    if (m_equalizerOn) {
        for (std::int32_t c = 0; c < std::min(channels, kEqualizerCount); ++c) {
            m_equalizers[c]->Process(frames, m_block.channels[c], m_block.channels[c]);
        }
    }
    SampleBlock filled = m_block;
    filled.capacity = frames;
    ApplyVolumeBalance(filled, channels, m_format.dwChannelMask, m_gains);
    if (surround) {
        m_surround->Process(&m_block, static_cast<std::int32_t>(m_blockTable.size()));
    }
}

void CExtPlayer::SendNotice(PlayerDataCallback callback, std::uintptr_t userData, std::int32_t capacity)
{
    if (callback) {
        SampleBlock empty = {0, nullptr, capacity, 0};
        callback(userData, &empty, 0);
    }
}

void CExtPlayer::ResetEffects()
{
    CPlayerLockGuard lock(m_effectsLock);
    m_flushLeft = kEqualizerFlushFrames;
    for (auto& eq : m_equalizers) {
        eq->Reset();
    }
    m_surround->Reset();
}

void ReadSystemVolume(std::int32_t& volume, std::int32_t& balance)
{
    DWORD level = 0;
    MMRESULT result = waveOutGetVolume(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(0)), &level);
    if (result != MMSYSERR_NOERROR) {
        // Some systems answer only for an open device.
        WAVEFORMATEX probe = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
        HWAVEOUT out = nullptr;
        if (waveOutOpen(&out, WAVE_MAPPER, &probe, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) {
            result = waveOutGetVolume(out, &level);
            waveOutClose(out);
        }
    }
    if (result != MMSYSERR_NOERROR) {
        level = 0xFFFFFFFFu;
    }
    VolumeBalanceFromSystemVolume(level, volume, balance);
}
