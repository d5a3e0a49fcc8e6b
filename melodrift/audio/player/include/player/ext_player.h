// CExtPlayer: the playback engine's state machine, sample block, effect chain
// (ten-band equalizer per channel, volume and balance, surround processor) and
// settings. CExtPlayerDX adds the DirectSound device and the feeder thread.
//
// A client registers a data callback; the engine pulls blocks of float
// samples from it whenever the device buffer needs refilling:
//
//     int __cdecl Fill(std::uintptr_t user, SampleBlock* block, int reserved)
//
// fills block->channels[c][0 .. block->filled - 1] (at most block->capacity
// frames, one array per channel of the format) and returns nonzero, or returns
// 0 when there is no more data. The callback also receives two notices with
// an empty block (no channel arrays, filled 0): capacity 0 when it is replaced
// by another callback, capacity 1 when playback stopped because the data ended.
// A third comes after the client asked for a rewrite (see
// CExtPlayerDX::RequestRewrite): capacity 2 and `filled` the frames the engine
// would take back (the last ones given); the client sets `filled` to the
// frames it will give again (at most those) and returns nonzero.
//
// Results: 0 success, 1 a device call failed or an argument is out of range,
// 5 the engine is failed (or Play has no callback), 6 the operation needs the
// stopped state. States: 0 playing, 1 paused, 2 stopped, 3 failed.
#pragma once

#include "dsp/equalizer.h"
#include "dsp/sampleblock.h"
#include "dsp/volume.h"
#include "player/surround_processor.h"
#include "surround/surround_settings.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <cstdint>
#include <memory>
#include <vector>

using PlayerDataCallback = int(__cdecl*)(std::uintptr_t userData, SampleBlock* block, int reserved);

enum PlayerResult : std::int32_t {
    kPlayerOk = 0,
    kPlayerDeviceError = 1,   // also: argument out of range
    kPlayerFailedState = 5,
    kPlayerNotStopped = 6,
};

enum PlayerState : std::int32_t {
    kPlayerPlaying = 0,
    kPlayerPaused = 1,
    kPlayerStopped = 2,
    kPlayerFailed = 3,
};

enum PlayerStopReason : std::int32_t {
    kStopNone = 0,
    kStopRequested = 1,
    kStopDataEnded = 2,
    kStopStartFailed = 3,
};

// A critical section that lives as long as its owner.
class CPlayerLock {
public:
    CPlayerLock() { InitializeCriticalSection(&m_section); }
    ~CPlayerLock() { DeleteCriticalSection(&m_section); }
    CPlayerLock(const CPlayerLock&) = delete;
    CPlayerLock& operator=(const CPlayerLock&) = delete;
    void Enter() { EnterCriticalSection(&m_section); }
    void Leave() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class CPlayerLockGuard {
public:
    explicit CPlayerLockGuard(CPlayerLock& lock) : m_lock(lock) { m_lock.Enter(); }
    ~CPlayerLockGuard() { m_lock.Leave(); }
    CPlayerLockGuard(const CPlayerLockGuard&) = delete;
    CPlayerLockGuard& operator=(const CPlayerLockGuard&) = delete;

private:
    CPlayerLock& m_lock;
};

class CExtPlayer : public ISurroundSettingsTarget {
public:
    static constexpr std::int32_t kEqualizerCount = 8;
    static constexpr std::int32_t kBlockSlots = 8;   // arrays held: room for the surround output
    static constexpr std::int32_t kDefaultSegmentCount = 5;
    static constexpr std::int32_t kDefaultSegmentBytes = 44100;
    static constexpr std::int32_t kMaxBlockFrames = 1 << 20;
    // Silence run through the equalizer when the data ends, so that the
    // samples inside it (its delay plus the filter's tail) are heard.
    static constexpr std::int32_t kEqualizerFlushFrames = CEqualizer::kDelay + CEqualizer::kBlockSize / 2;

    CExtPlayer();
    ~CExtPlayer() override;
    CExtPlayer(const CExtPlayer&) = delete;
    CExtPlayer& operator=(const CExtPlayer&) = delete;

    // ---- Operations in the order of the engine's table --------------------
    virtual std::int32_t Play() = 0;
    virtual std::int32_t Stop(std::int32_t reason) = 0;
    virtual std::int32_t Pause() = 0;
    // Closes the device unless stopped or failed; then stopped, stop reason 0.
    virtual std::int32_t Close();
    // A 16-bit PCM format of 1 to 8 channels (plain or extensible; an
    // extensible one with 40 bytes) and a rate of 1 to 384000 Hz, or 1. From
    // the failed state the engine is closed first; otherwise 6 unless stopped.
    virtual std::int32_t SetFormat(const WAVEFORMATEXTENSIBLE* format);
    // 5 when failed, 6 unless stopped, 1 outside 1..100.
    virtual std::int32_t SetSegmentCount(std::int32_t count);
    // Asks for what the device holds ahead of its play cursor to be written
    // again from the data callback (a client whose processing of the data
    // changed wants it heard at once). Answered on the feeder's thread; 5
    // unless playing or paused.
    virtual std::int32_t RequestRewrite() { return kPlayerFailedState; }
    // Values outside 0..100 are clamped (a negative one never inverts the signal).
    virtual std::int32_t SetVolume(std::int32_t volume);
    virtual std::int32_t SetBalance(std::int32_t balance);
    // The segment size, counted in bytes of the default format (44.1 kHz
    // 16-bit stereo) and so a length of time: a segment of the default 44100
    // bytes lasts a quarter second at every rate and channel count, and the
    // block holds one segment's frames. 5 when failed, 6 unless stopped, 1
    // when a segment would hold less than one frame or more than
    // kMaxBlockFrames at the current rate.
    virtual std::int32_t SetSegmentBytes(std::int32_t bytes);
    virtual std::int32_t OpenDevice() = 0;
    virtual std::int32_t CloseDevice() = 0;

    // ---- Settings ----------------------------------------------------------
    // 6 while playing or paused. A different pair first sends the old
    // callback (if any) its detach notice.
    std::int32_t SetDataCallback(PlayerDataCallback callback, std::uintptr_t userData);
    // Ten gains (1.0 flat) and the on flag; `count` must be 10.
    void SetEqualizer(const float* gains, std::int32_t count, bool on);
    // Takes effect at the next start of playback (the device is opened for it).
    void SetSurroundOn(bool on);

    // Surround settings, applied under the effects lock.
    void SetSurroundParam(std::int32_t code, std::int32_t value) override;
    void SetSurroundSoundPos(float x, float y) override;
    // Pauses a playing engine around the change.
    void SetSurroundPreset(const SurroundPreset& preset) override;

    // ---- Reading -----------------------------------------------------------
    std::int32_t GetState() const { return m_state; }
    std::int32_t GetStopReason() const { return m_stopReason; }
    const WAVEFORMATEXTENSIBLE* GetFormat() const { return &m_format; }
    std::int32_t GetSegmentCount() const { return m_segmentCount; }
    std::int32_t GetSegmentBytes() const { return m_segmentBytes; }
    std::int32_t GetVolume() const { return m_volume; }
    std::int32_t GetBalance() const { return m_balance; }
    VolumeBalanceGains GetGains() const { return m_gains; }
    bool IsEqualizerOn() const { return m_equalizerOn; }
    bool IsSurroundOn() const { return m_surroundOn; }
    // The surround processor's output layout.
    std::int32_t GetSurroundChannels();
    std::uint32_t GetSurroundChannelMask();

protected:
    void SetState(std::int32_t state) { InterlockedExchange(&m_state, state); }
    void SetStopReason(std::int32_t reason) { InterlockedExchange(&m_stopReason, reason); }
    // Frames of the block for a segment size, at the format's rate.
    std::int32_t BlockFrames(std::int32_t segmentBytes) const;
    // (Re)allocates the block for the format's channels (at least kBlockSlots
    // arrays) and `frames`, under the effects lock. False when out of memory.
    bool AllocateBlock(std::int32_t frames);
    // Clears the block's arrays and its filled count.
    void ClearBlock();
    // Calls the data callback for the next block (under the callback lock)
    // after clearing it, then runs the effects; false when the data ended
    // (after the equalizer's last samples have been let out).
    bool PullBlock(bool surround);
    // The equalizer (when on), volume and balance, and the surround processor
    // (when `surround`), over the block's filled frames (only those: a
    // partly filled block must not push its empty rest through the filters).
    void ApplyEffects(bool surround);
    // The callback once with an empty block of the given capacity.
    void SendNotice(PlayerDataCallback callback, std::uintptr_t userData, std::int32_t capacity);
    // The rewrite notice (capacity 2) to the current callback: the frames it
    // will give again, at most `frames` (0 when it takes none back).
    std::int32_t AskToTakeBack(std::int32_t frames);
    void ResetEffects();

    volatile LONG m_state = kPlayerStopped;
    volatile LONG m_stopReason = kStopNone;
    WAVEFORMATEXTENSIBLE m_format = {};
    std::int32_t m_segmentCount = kDefaultSegmentCount;
    std::int32_t m_segmentBytes = kDefaultSegmentBytes;
    PlayerDataCallback m_callback = nullptr;
    std::uintptr_t m_userData = 0;
    std::int32_t m_volume = 100;
    std::int32_t m_balance = 50;
    VolumeBalanceGains m_gains = {1.0f, 1.0f, 1.0f};

    SampleBlock m_block = {};
    std::vector<float> m_blockData;
    std::vector<float*> m_blockTable;
    std::int32_t m_readPos = 0;   // frames of the block already converted
    std::int32_t m_flushLeft = 0;   // silent frames still to run through the equalizer

    std::unique_ptr<CEqualizer> m_equalizers[kEqualizerCount];
    float m_equalizerGains[CEqualizer::kBandCount];
    bool m_equalizerOn = false;
    bool m_surroundOn = false;
    std::unique_ptr<ISurroundProcessor> m_surround;

    CPlayerLock m_effectsLock;
    CPlayerLock m_deviceLock;
    CPlayerLock m_callbackLock;
    CPlayerLock m_controlLock;   // serialises start, stop, pause and close
};

// Volume and balance from the system's wave-out volume: the default device,
// or an opened wave-out handle where the device cannot be asked by number;
// full volume at the centre when neither answers.
void ReadSystemVolume(std::int32_t& volume, std::int32_t& balance);
