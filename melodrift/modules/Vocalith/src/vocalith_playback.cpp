// Playback through the host's player: the track source fed to it, the next
// track opened beside the playing one so that the player reads on into it
// without a gap, and the replay of what the player gives back when the
// effects change.
#include "vocalith_window.h"

#include <algorithm>
#include <vector>

namespace vocalith {

namespace {

// KSDATAFORMAT_SUBTYPE_PCM, spelt out so that no GUID library is needed.
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

std::wstring FileTitle(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

DWORD DefaultMask(int channels) {
    const DWORD kFive = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER | SPEAKER_BACK_LEFT | SPEAKER_BACK_RIGHT;
    switch (channels) {
    case 1: return SPEAKER_FRONT_CENTER;
    case 2: return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    case 3: return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER;
    case 4: return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_BACK_LEFT | SPEAKER_BACK_RIGHT;
    case 5: return kFive;
    case 6: return kFive | SPEAKER_LOW_FREQUENCY;
    case 7: return kFive | SPEAKER_LOW_FREQUENCY | SPEAKER_BACK_CENTER;
    default: return kFive | SPEAKER_LOW_FREQUENCY | SPEAKER_SIDE_LEFT | SPEAKER_SIDE_RIGHT;
    }
}

}  // namespace

// ---- Playback ------------------------------------------------------------------

bool CVocalith::OwnsPlayer() {
    const wchar_t* owner = m_player ? m_player->GetPlayerOwner() : nullptr;
    return owner && _wcsicmp(owner, kName) == 0;
}

bool CVocalith::SetOutputFormat() {
    WAVEFORMATEXTENSIBLE format = {};
    const int channels = Source().Channels();
    format.Format.nChannels = static_cast<WORD>(channels);
    format.Format.nSamplesPerSec = static_cast<DWORD>(Source().Rate());
    format.Format.wBitsPerSample = 16;
    format.Format.nBlockAlign = static_cast<WORD>(2 * channels);
    format.Format.nAvgBytesPerSec = format.Format.nSamplesPerSec * format.Format.nBlockAlign;
    if (channels <= 2) {
        format.Format.wFormatTag = WAVE_FORMAT_PCM;
    } else {
        format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        format.Format.cbSize = 22;
        format.Samples.wValidBitsPerSample = 16;
        DWORD mask = Source().ChannelMask();
        format.dwChannelMask = mask ? mask : DefaultMask(channels);
        format.SubFormat = kSubtypePcm;
    }
    return m_player->SetFormat(&format) != FALSE;
}

bool CVocalith::PlayTrack(int index) {
    if (!m_player || !m_playlist.SetCurrent(index)) return false;
    if (!OwnsPlayer()) {
        m_player->AcquirePlayer(kName);
    } else if (m_player->GetState() != ORVO_PLAYER_STOPPED) {
        m_player->Stop();
    }
    KillTimer(m_window, kUiTimer);
    InterlockedIncrement(&m_generation);
    DisarmNext();
    m_playing = -1;
    m_morph.Chain().RequestReset();
    const std::wstring path = m_playlist.At(index);
    std::wstring error;
    if (!Source().Open(path, error)) {
        if (TagsFor(path).missing) error = L"the file is missing";
        SetError(L"Cannot play " + FileTitle(path) + L": " + error);
        RefreshList();
        ShowTrackInfo();
        // On to the next track, unless every track of the list has failed in turn.
        if (++m_failures < m_playlist.Count()) PostMessageW(m_window, kMsgSkipFailed, static_cast<WPARAM>(m_generation), 0);
        else m_failures = 0;
        return false;
    }
    m_failures = 0;
    m_playing = index;
    ResetReplay();
    bool ready = SetOutputFormat() && m_player->SetDataCallback(&CVocalith::Fill, reinterpret_cast<UINT_PTR>(this));
    if (ready) InterlockedExchange(&m_callbackSet, 1);
    m_startFrame = 0;
    if (!ready || !m_player->Play()) {
        SetError(L"Cannot play " + FileTitle(path) + L": the player refused the format");
        Source().Close();
        m_playing = -1;
        ShowTrackInfo();
        return false;
    }
    if (m_app) m_app->SetStatusText((L"Playing " + TrackName(path)).c_str());
    SelectTrack(index);
    SaveList();
    ShowTrackInfo();
    SetTimer(m_window, kUiTimer, 250, nullptr);
    ArmNext();
    return true;
}

void CVocalith::DisarmNext() {
    EnterCriticalSection(&m_nextLock);
    m_nextArmed = false;
    m_nextIndex = -1;
    LeaveCriticalSection(&m_nextLock);
    // Unarmed, the player's thread leaves it alone.
    m_sources[1 - m_current].Close();
}

void CVocalith::ArmNext() {
    DisarmNext();
    if (!m_player || m_playing < 0 || m_player->GetShuffle()) return;
    int next = m_playing + 1;
    if (next >= m_playlist.Count()) next = m_player->GetRepeat() ? 0 : -1;
    if (next < 0 || next == m_playing) return;
    CTrackSource& source = m_sources[1 - m_current];
    std::wstring error;
    if (!source.Open(m_playlist.At(next), error)) return;   // it fails again when its turn comes, and says why
    if (source.Rate() != Source().Rate() || source.Channels() != Source().Channels()) {
        source.Close();   // another format: the player starts over for it
        return;
    }
    EnterCriticalSection(&m_nextLock);
    m_nextIndex = next;
    m_nextArmed = true;
    LeaveCriticalSection(&m_nextLock);
}

int CVocalith::ReadOnIntoNext(ORVO_SAMPLE_BLOCK* block, int filled) {
    int added = 0;
    EnterCriticalSection(&m_nextLock);
    if (m_nextArmed) {
        m_nextArmed = false;
        const std::int64_t previousFrames = Source().Position();
        InterlockedExchange(&m_current, 1 - m_current);
        std::vector<float*> rest(static_cast<std::size_t>(Source().Channels()));
        for (std::size_t c = 0; c < rest.size(); ++c) rest[c] = block->Channels[c] + filled;
        added = std::max(0, Source().Read(rest.data(), block->Capacity - filled));
        PostMessageW(m_window, kMsgTrackAdvanced, static_cast<WPARAM>(m_generation), static_cast<LPARAM>(previousFrames));
    }
    LeaveCriticalSection(&m_nextLock);
    return added;
}

void CVocalith::Play() {
    if (!m_player) return;
    if (m_playing >= 0 && OwnsPlayer() && m_player->GetState() == ORVO_PLAYER_PAUSED) {
        m_player->Play();   // resumes
        return;
    }
    int index = m_playlist.Current();
    if (index < 0) return;
    PlayTrack(index);
}

void CVocalith::Pause() {
    if (m_player && m_playing >= 0 && OwnsPlayer()) m_player->Pause();
}

void CVocalith::Stop() {
    if (m_player && OwnsPlayer()) m_player->Stop();
    InterlockedIncrement(&m_generation);
    DisarmNext();
    KillTimer(m_window, kUiTimer);
    Source().Close();
    m_playing = -1;
    ShowTrackInfo();
}

void CVocalith::Next() {
    const bool shuffle = m_player && m_player->GetShuffle();
    const bool repeat = m_player && m_player->GetRepeat();
    int next = m_playlist.Next(shuffle, repeat);
    if (next >= 0) PlayTrack(next);
}

void CVocalith::Previous() {
    const bool shuffle = m_player && m_player->GetShuffle();
    const bool repeat = m_player && m_player->GetRepeat();
    int previous = m_playlist.Previous(shuffle, repeat);
    if (previous >= 0) PlayTrack(previous);
}

void CVocalith::SeekTo(int position) {
    if (!m_player || m_playing < 0 || !Source().IsOpen()) return;
    const int range = std::max(1, m_player->GetPositionRange());
    position = std::clamp(position, 0, range);
    const std::int64_t frame = Source().TotalFrames() * position / range;
    const bool wasPlaying = m_player->GetState() == ORVO_PLAYER_PLAYING;
    // The engine holds a buffer of what was read; it starts over from the new place.
    m_player->Stop();
    Source().Seek(frame);
    m_morph.Chain().RequestReset();
    ResetReplay();
    m_startFrame = Source().Position();
    if (wasPlaying) {
        m_player->Play();
        SetTimer(m_window, kUiTimer, 250, nullptr);
    }
    ShowTime();
}

int __cdecl CVocalith::Fill(UINT_PTR user, ORVO_SAMPLE_BLOCK* block, int) {
    CVocalith* self = reinterpret_cast<CVocalith*>(user);
    if (!self || !block) return 0;
    if (!block->Channels) {
        // Capacity 0: another callback took this one's place.
        if (block->Capacity == 0) InterlockedExchange(&self->m_callbackSet, 0);
        // Capacity 1: playback stopped because the data ended.
        if (block->Capacity == 1) PostMessageW(self->m_window, kMsgTrackEnded, static_cast<WPARAM>(self->m_generation), 0);
        // Capacity 2: the player takes back what it held ahead, to be given again.
        if (block->Capacity == 2) {
            block->Filled = self->TakeBack(block->Filled);
            return 1;
        }
        return 0;
    }
    int n = self->ReplayRead(block->Channels, block->Capacity);
    if (n == 0) {
        n = self->Source().Read(block->Channels, block->Capacity);
        if (n < block->Capacity) n += self->ReadOnIntoNext(block, std::max(n, 0));
        if (n > 0) self->KeepForReplay(block->Channels, n);
    }
    block->Filled = n;
    // The chosen effects on what is played.
    if (n > 0) self->m_morph.Chain().ProcessPlanar(block->Channels, n, self->Source().Channels(), self->Source().Rate());
    return n > 0 ? 1 : 0;
}

void CVocalith::ResetReplay() {
    m_replayEnd = m_replayBack = 0;
    m_replayChannels = Source().Channels();
    m_replayRate = Source().Rate();
    // The player's buffer (five quarter seconds by default), a block and the
    // equalizer's run-in, with room to spare.
    m_replayCapacity = m_replayRate > 0 && m_replayChannels > 0 ? m_replayRate * 3 : 0;
    try {
        m_replay.assign(static_cast<std::size_t>(m_replayCapacity) * m_replayChannels, 0.0f);
        m_primer.assign(static_cast<std::size_t>(m_replayRate / 10 + 1) * m_replayChannels, 0.0f);
    } catch (...) {
        m_replayCapacity = 0;   // no replay: a change is heard after the player's buffer
    }
}

void CVocalith::KeepForReplay(const float* const* channels, int frames) {
    if (m_replayCapacity <= 0 || m_replayChannels != Source().Channels()) return;
    for (int f = 0; f < frames; ++f) {
        float* to = m_replay.data() + static_cast<std::size_t>((m_replayEnd + f) % m_replayCapacity) * m_replayChannels;
        for (int c = 0; c < m_replayChannels; ++c) to[c] = channels[c][f];
    }
    m_replayEnd += frames;
}

int CVocalith::ReplayRead(float* const* channels, int capacity) {
    if (m_replayBack <= 0 || capacity <= 0) return 0;
    const int n = static_cast<int>(std::min<std::int64_t>(capacity, m_replayBack));
    const std::int64_t from = m_replayEnd - m_replayBack;
    for (int f = 0; f < n; ++f) {
        const float* at = m_replay.data() + static_cast<std::size_t>((from + f) % m_replayCapacity) * m_replayChannels;
        for (int c = 0; c < m_replayChannels; ++c) channels[c][f] = at[c];
    }
    m_replayBack -= n;
    return n;
}

int CVocalith::TakeBack(int frames) {
    if (m_replayCapacity <= 0 || frames <= 0) return 0;
    const std::int64_t kept = std::min<std::int64_t>(m_replayEnd, m_replayCapacity);
    const int taken = static_cast<int>(std::clamp<std::int64_t>(kept - m_replayBack, 0, frames));
    if (taken == 0) return 0;
    m_replayBack += taken;
    // The effects start over at the place taken back, primed with what came just before it.
    const std::int64_t seam = m_replayEnd - m_replayBack;
    const std::int64_t oldest = m_replayEnd - kept;
    const int primed = static_cast<int>(std::min<std::int64_t>(m_replayRate / 10, seam - oldest));
    for (int f = 0; f < primed; ++f) {
        const float* at = m_replay.data() + static_cast<std::size_t>((seam - primed + f) % m_replayCapacity) * m_replayChannels;
        std::copy(at, at + m_replayChannels, m_primer.begin() + static_cast<std::ptrdiff_t>(f) * m_replayChannels);
    }
    m_morph.Chain().Restart(m_primer.data(), primed, m_replayChannels, m_replayRate);
    return taken;
}

void CVocalith::OnEffectsChanged(void* context) {
    auto* self = static_cast<CVocalith*>(context);
    if (self->m_player && self->m_playing >= 0 && self->OwnsPlayer()) self->m_player->RequestRewrite();
}

}  // namespace vocalith
