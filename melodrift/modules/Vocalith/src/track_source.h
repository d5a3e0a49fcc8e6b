// One open track: a WAV file read in place, an MP3 file decoded through
// the platform's audio codec manager (ACM, MPEG Layer-3 to PCM) as playback
// asks for it, or any other file the system's media framework decodes (FLAC,
// Ogg Vorbis, Opus, AAC in MP4, WMA; see mf_source.h). Hands out float
// samples, one array per channel.
//
// Read runs on the player's thread, Seek and Close on the window's thread;
// a lock keeps them apart. A seek in an MP3 file walks its frame headers
// (once, as far as the place asked for) under a lock of its own, which the
// player's thread never takes: Read does not wait for that walk.
#pragma once

#include "core/mp3_frames.h"
#include "core/wav_file.h"
#include "mf_source.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vocalith {

class CTrackSource {
public:
    CTrackSource();
    ~CTrackSource();
    CTrackSource(const CTrackSource&) = delete;
    CTrackSource& operator=(const CTrackSource&) = delete;

    // Opens a file by its content, whatever its name; false with a reason for
    // the user when it cannot be played.
    bool Open(const std::wstring& path, std::wstring& error);
    void Close();
    bool IsOpen() const { return m_kind != Kind::None; }

    int Channels() const { return m_channels; }
    int Rate() const { return m_rate; }
    // The WAV file's speaker mask, or 0.
    DWORD ChannelMask() const { return m_channelMask; }
    // Whether the file is a WAV file of float samples.
    bool IsFloatWav() const { return m_kind == Kind::Wav && m_wav.type == SampleType::Float; }
    // Length in frames (for MP3 from the frame count of a variable-rate
    // header less LAME's delay and padding, else estimated from the bit rate;
    // as the file or the media framework states it for the others).
    std::int64_t TotalFrames() const { return m_totalFrames; }
    // Frames handed out so far (from the last seek on).
    std::int64_t Position() const { return m_position; }

    // Up to `capacity` frames into the channel arrays; 0 at the end.
    int Read(float* const* channels, int capacity);
    // Moves to a frame; the next Read starts exactly there.
    void Seek(std::int64_t frame);

private:
    enum class Kind { None, Wav, Mp3, Media };

    bool OpenWav(std::wstring& error);
    bool OpenMedia(const std::wstring& path, std::wstring& error);
    bool OpenMp3(std::wstring& error);
    bool StartMp3Stream(std::uint64_t fileOffset);
    // Finds the offsets of the MP3 frames up to `index` (fewer where the file ends first).
    void IndexMp3Frames(std::int64_t index);
    void StopMp3Stream();
    // Decodes more MP3 data into m_pcm; false at the end of the file.
    bool DecodeMore();

    CRITICAL_SECTION m_indexLock;   // the MP3 frames' index; taken before m_lock
    CRITICAL_SECTION m_lock;
    Kind m_kind = Kind::None;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::uint64_t m_fileSize = 0;
    int m_channels = 0;
    int m_rate = 0;
    DWORD m_channelMask = 0;
    std::int64_t m_totalFrames = 0;
    std::int64_t m_position = 0;

    // WAV
    WavInfo m_wav;
    std::vector<std::uint8_t> m_raw;

    // MP3
    Mp3Frame m_mp3;                  // the first frame with sound
    std::uint64_t m_firstFrame = 0;  // where it starts
    // A variable bit-rate file's frame count (and LAME's delay and padding),
    // from the frame before the sound.
    bool m_hasStreamInfo = false;
    Mp3StreamInfo m_streamInfo;
    // Decoded frames before the file's first sample (LAME's delay and the
    // decoder's own), and whether the length is exact (LAME's tag gives the
    // padding at the end): nothing is handed out past it.
    std::int64_t m_lead = 0;
    bool m_exactLength = false;
    std::int64_t m_discard = 0;      // decoded frames still to drop before handing out
    // Where each MP3 frame starts, as far as the file has been walked (for
    // seeking; under m_indexLock only).
    std::vector<std::uint64_t> m_frameOffsets;
    std::uint64_t m_indexAt = 0;     // the next byte to walk
    bool m_indexDone = false;
    std::uint64_t m_readAt = 0;      // next byte of the file to decode
    HACMSTREAM m_stream = nullptr;
    ACMSTREAMHEADER m_header = {};
    std::vector<BYTE> m_in;
    std::vector<BYTE> m_out;
    DWORD m_inFilled = 0;
    bool m_streamStarted = false;
    bool m_inputEnded = false;
    std::vector<std::int16_t> m_pcm;   // decoded, interleaved, not yet handed out
    std::size_t m_pcmRead = 0;         // samples of m_pcm already handed out

    // Everything else, through the media framework.
    CMfSource m_media;
};

}  // namespace vocalith
