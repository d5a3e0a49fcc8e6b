// A track decoded by the system's media framework (Media Foundation's source
// reader): whatever the system has a decoder for (FLAC, Ogg Vorbis, Opus,
// AAC in MP4, WMA, ...), handed out as float samples at the file's own rate
// and channel count, with its length and frame-exact seeking.
//
// Not locked: the owner (CTrackSource) keeps Read, Seek and Close apart.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct IMFSourceReader;

namespace vocalith {

class CMfSource {
public:
    CMfSource() = default;
    ~CMfSource();
    CMfSource(const CMfSource&) = delete;
    CMfSource& operator=(const CMfSource&) = delete;

    // Opens the file; false with a reason for the user (`format` names the
    // kind of file in it, "FLAC" say, or is empty).
    bool Open(const std::wstring& path, const std::wstring& format, std::wstring& error);
    void Close();
    bool IsOpen() const { return m_reader != nullptr; }

    int Channels() const { return m_channels; }
    int Rate() const { return m_rate; }
    DWORD ChannelMask() const { return m_channelMask; }
    // The length the framework reports, in frames (0 when it reports none).
    std::int64_t TotalFrames() const { return m_totalFrames; }
    // Hands out no frame past `frames` (a length known better from the file itself).
    void SetLength(std::int64_t frames) { m_totalFrames = frames; }
    // The decoder's sound starts with `frames` of the encoder's delay that no
    // edit list cuts (an M4A file's iTunes item tells them): they are dropped,
    // and frames are counted from the first after them (the framework's time
    // stamps include them). Given before the first Read.
    void SetLead(std::int64_t frames) { m_lead = m_discard = frames > 0 ? frames : 0; }

    // Up to `capacity` frames; 0 at the end (or when decoding fails).
    int Read(float* const* channels, int capacity);
    // Moves to a frame; the next Read starts exactly there.
    bool Seek(std::int64_t frame);
    // Frames handed out so far (from the last seek on).
    std::int64_t Position() const { return m_position; }

private:
    // Decodes the next sample into m_pcm; false at the end.
    bool DecodeMore();

    IMFSourceReader* m_reader = nullptr;
    bool m_started = false;            // the framework was started for this object
    bool m_comInit = false;            // COM was initialised on the opening thread for this object
    bool m_float = false;              // 32-bit float, else 16-bit integer samples
    int m_channels = 0;
    int m_rate = 0;
    DWORD m_channelMask = 0;
    std::int64_t m_totalFrames = 0;
    std::int64_t m_position = 0;
    std::int64_t m_want = -1;          // after a seek: the frame the next sample must be cut to
    std::int64_t m_lead = 0;
    std::int64_t m_discard = 0;        // frames of the delay still to drop from the start
    bool m_ended = false;
    std::vector<float> m_pcm;          // decoded, interleaved, not yet handed out
    std::size_t m_pcmRead = 0;
};

}  // namespace vocalith
