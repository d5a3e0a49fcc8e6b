#include "track_source.h"

#include "mediatags/media_tags.h"

#include <algorithm>
#include <cstring>

namespace vocalith {

namespace {

class CFileSource : public IByteSource {
public:
    CFileSource(HANDLE file, std::uint64_t size) : m_file(file), m_size(size) {}
    std::uint64_t Size() const override { return m_size; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
        if (offset > m_size || count > m_size - offset) return false;
        // Each read names its place (no shared file pointer): the walk over
        // the frames for a seek reads beside the player's thread.
        BYTE* out = static_cast<BYTE*>(buffer);
        while (count > 0) {
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1 << 20)), got = 0;
            if (!ReadFile(m_file, out, want, &got, &at) || got == 0) return false;
            out += got;
            offset += got;
            count -= got;
        }
        return true;
    }

private:
    HANDLE m_file;
    std::uint64_t m_size;
};

// The same file for the tag readers.
class CTagSource : public mediatags::ByteSource {
public:
    explicit CTagSource(CFileSource& file) : m_file(file) {}
    std::uint64_t Size() const override { return m_file.Size(); }
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count) override {
        const std::uint64_t size = m_file.Size();
        if (offset >= size) return 0;
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset));
        return m_file.ReadAt(offset, buffer, count) ? count : 0;
    }

private:
    CFileSource& m_file;
};

// Bytes read ahead of the decoder at a time.
constexpr DWORD kMp3InputBytes = 16384;

std::wstring Widen(const char* text) {
    std::wstring out;
    for (; *text; ++text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    return out;
}

}  // namespace

CTrackSource::CTrackSource() {
    InitializeCriticalSection(&m_indexLock);
    InitializeCriticalSection(&m_lock);
}

CTrackSource::~CTrackSource() {
    Close();
    DeleteCriticalSection(&m_lock);
    DeleteCriticalSection(&m_indexLock);
}

void CTrackSource::Close() {
    EnterCriticalSection(&m_indexLock);
    EnterCriticalSection(&m_lock);
    StopMp3Stream();
    m_media.Close();
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_kind = Kind::None;
    m_channels = m_rate = 0;
    m_channelMask = 0;
    m_totalFrames = m_position = 0;
    m_lead = m_discard = 0;
    m_exactLength = false;
    m_frameOffsets.clear();
    m_pcm.clear();
    m_pcmRead = 0;
    LeaveCriticalSection(&m_lock);
    LeaveCriticalSection(&m_indexLock);
}

bool CTrackSource::Open(const std::wstring& path, std::wstring& error) {
    Close();
    EnterCriticalSection(&m_indexLock);
    EnterCriticalSection(&m_lock);
    bool ok = false;
    m_file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER size = {};
    if (m_file == INVALID_HANDLE_VALUE || !GetFileSizeEx(m_file, &size)) {
        error = L"the file could not be opened";
    } else {
        m_fileSize = static_cast<std::uint64_t>(size.QuadPart);
        BYTE magic[4] = {};
        CFileSource source(m_file, m_fileSize);
        if (m_fileSize >= 4 && source.ReadAt(0, magic, 4) && std::equal(magic, magic + 4, "RIFF")) {
            ok = OpenWav(error);
        } else {
            ok = OpenMedia(path, error);
        }
    }
    LeaveCriticalSection(&m_lock);
    LeaveCriticalSection(&m_indexLock);
    if (!ok) Close();
    return ok;
}

bool CTrackSource::OpenWav(std::wstring& error) {
    CFileSource source(m_file, m_fileSize);
    WavResult result = ReadWavHeader(source, m_wav);
    if (result != WavResult::Ok) {
        error = Widen(WavResultText(result));
        return false;
    }
    if (m_wav.frames == 0) {
        error = L"the file holds no sound";
        return false;
    }
    m_kind = Kind::Wav;
    m_channels = m_wav.channels;
    m_rate = static_cast<int>(m_wav.rate);
    m_channelMask = m_wav.channelMask;
    m_totalFrames = static_cast<std::int64_t>(m_wav.frames);
    m_position = 0;
    return true;
}

// FLAC, Ogg, MP4 and ASF files go to the media framework, what has no
// signature of its own to the MP3 reader. The system's decoder decides whether
// a file plays: a tag our own reader finds broken costs the tags, not the
// sound. Where the headers are whole, they give the exact length (the
// framework's may include an encoder's delay and padding) and the delay the
// decoder's sound starts with where no edit list skips it; where they are
// broken, the decoder's length counts, and a file it cannot open is named
// damaged rather than undecodable. A file that ends before its first coded
// sound is not handed to the decoder at all (nothing could play it, and
// Wine's framework has been seen to wait for ever on such a file).
bool CTrackSource::OpenMedia(const std::wstring& path, std::wstring& error) {
    CFileSource file(m_file, m_fileSize);
    CTagSource source(file);
    mediatags::MediaTags tags;
    const mediatags::MediaFormat format = mediatags::ReadMediaTags(source, tags);
    if (format == mediatags::MediaFormat::Unknown || format == mediatags::MediaFormat::Mp3) return OpenMp3(error);
    const std::wstring name = mediatags::FormatName(format);
    if (tags.noSound || !m_media.Open(path, name, error) || (tags.damaged && m_media.TotalFrames() <= 0)) {
        if (tags.noSound && !tags.damaged) error = L"the file holds no sound";
        if (tags.damaged) error = L"the " + name + L" file is damaged";
        m_media.Close();
        return false;
    }
    if (!tags.damaged && tags.frames > 0 && tags.rate == m_media.Rate()) {
        m_media.SetLength(tags.frames);
        m_media.SetLead(tags.leadFrames);
    }
    m_kind = Kind::Media;
    m_channels = m_media.Channels();
    m_rate = m_media.Rate();
    m_channelMask = m_media.ChannelMask();
    m_totalFrames = m_media.TotalFrames();
    m_position = 0;
    return true;
}

bool CTrackSource::OpenMp3(std::wstring& error) {
    CFileSource source(m_file, m_fileSize);
    BYTE head[10] = {};
    std::uint64_t start = 0;
    if (m_fileSize >= 10 && source.ReadAt(0, head, 10)) start = Id3v2Size(head, 10);
    if (start >= m_fileSize) {
        error = L"neither a WAV nor an MP3 file";
        return false;
    }
    std::vector<BYTE> window(static_cast<std::size_t>(std::min<std::uint64_t>(m_fileSize - start, 65536)));
    if (!source.ReadAt(start, window.data(), window.size())) {
        error = L"the file could not be read";
        return false;
    }
    std::int64_t first = FindFirstMp3Frame(window.data(), window.size(), m_mp3);
    if (first < 0) {
        error = L"neither a WAV nor an MP3 file";
        return false;
    }
    m_firstFrame = start + static_cast<std::uint64_t>(first);
    m_hasStreamInfo = false;
    const std::size_t at = static_cast<std::size_t>(first);
    if (ReadMp3StreamInfo(window.data() + at, window.size() - at, m_mp3, m_streamInfo)) {
        // The frame holding the count carries no sound: playing starts with
        // the next one. A count the file cannot hold (no frame is shorter than
        // 48 bytes) is not believed.
        const std::size_t next = at + static_cast<std::size_t>(m_mp3.frameBytes);
        const std::uint64_t streamBytes = m_fileSize - m_firstFrame;
        Mp3Frame audio;
        if (next + 4 <= window.size() && ParseMp3Header(window.data() + next, audio) && audio.rate == m_mp3.rate &&
            audio.channels == m_mp3.channels && static_cast<std::uint64_t>(m_streamInfo.frames) * 48 <= streamBytes) {
            m_hasStreamInfo = true;
            m_firstFrame += static_cast<std::uint64_t>(m_mp3.frameBytes);
            m_mp3 = audio;
        }
    }
    m_channels = m_mp3.channels;
    m_rate = m_mp3.rate;
    m_lead = 0;
    m_exactLength = false;
    if (m_hasStreamInfo) {
        // Without the encoder's delay and padding, where LAME's tag gives them:
        // the decoder's sound then starts with the delay and its own, which are
        // dropped, and ends with the padding, which is not handed out.
        const std::int64_t samples = static_cast<std::int64_t>(m_streamInfo.frames) * m_mp3.samplesPerFrame;
        const std::int64_t lead = static_cast<std::int64_t>(m_streamInfo.delay) + kMp3DecoderDelay;
        const std::int64_t silence = static_cast<std::int64_t>(m_streamInfo.delay) + m_streamInfo.padding;
        m_totalFrames = samples > silence ? samples - silence : samples;
        if (m_streamInfo.hasEncoderTag && samples > silence && lead < samples) {
            m_lead = lead;
            m_exactLength = true;
        }
    } else {
        // A constant bit rate: the frames that fit in the rest of the file.
        const double frameBytes = (m_mp3.version == 10 ? 144.0 : 72.0) * m_mp3.bitrate * 1000.0 / m_mp3.rate;
        m_totalFrames = static_cast<std::int64_t>(static_cast<double>(m_fileSize - m_firstFrame) / frameBytes) *
                        m_mp3.samplesPerFrame;
    }
    m_frameOffsets.clear();
    m_indexAt = m_firstFrame;
    m_indexDone = false;
    if (!StartMp3Stream(m_firstFrame)) {
        error = L"no audio codec of this system decodes MP3";
        return false;
    }
    m_kind = Kind::Mp3;
    m_position = 0;
    m_discard = m_lead;
    return true;
}

void CTrackSource::IndexMp3Frames(std::int64_t index) {
    CFileSource source(m_file, m_fileSize);
    std::vector<std::uint8_t> chunk;
    while (!m_indexDone && static_cast<std::int64_t>(m_frameOffsets.size()) <= index) {
        const std::uint64_t left = m_fileSize > m_indexAt ? m_fileSize - m_indexAt : 0;
        const bool atEnd = left <= 65536;
        chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, 65536)));
        if (chunk.empty() || !source.ReadAt(m_indexAt, chunk.data(), chunk.size())) {
            m_indexDone = true;
            break;
        }
        const std::size_t used =
            vocalith::IndexMp3Frames(chunk.data(), chunk.size(), m_indexAt, m_mp3, atEnd, m_frameOffsets);
        // No frame is longer than a chunk: a chunk that gives nothing is the end.
        if (atEnd || used == 0) m_indexDone = true;
        m_indexAt += used;
    }
}

bool CTrackSource::StartMp3Stream(std::uint64_t fileOffset) {
    StopMp3Stream();
    MPEGLAYER3WAVEFORMAT in = {};
    in.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    in.wfx.nChannels = static_cast<WORD>(m_mp3.channels);
    in.wfx.nSamplesPerSec = static_cast<DWORD>(m_mp3.rate);
    in.wfx.nAvgBytesPerSec = static_cast<DWORD>(m_mp3.bitrate * 1000 / 8);
    in.wfx.nBlockAlign = 1;
    in.wfx.wBitsPerSample = 0;
    in.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    in.wID = MPEGLAYER3_ID_MPEG;
    in.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    in.nBlockSize = static_cast<WORD>(m_mp3.frameBytes);
    in.nFramesPerBlock = 1;
    in.nCodecDelay = 0;
    WAVEFORMATEX out = {};
    out.wFormatTag = WAVE_FORMAT_PCM;
    out.nChannels = static_cast<WORD>(m_mp3.channels);
    out.nSamplesPerSec = static_cast<DWORD>(m_mp3.rate);
    out.wBitsPerSample = 16;
    out.nBlockAlign = static_cast<WORD>(2 * m_mp3.channels);
    out.nAvgBytesPerSec = out.nSamplesPerSec * out.nBlockAlign;
    if (acmStreamOpen(&m_stream, nullptr, &in.wfx, &out, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
        m_stream = nullptr;
        return false;
    }
    DWORD outBytes = 0;
    if (acmStreamSize(m_stream, kMp3InputBytes, &outBytes, ACM_STREAMSIZEF_SOURCE) != 0 || outBytes == 0)
        outBytes = kMp3InputBytes * 16;
    // The codec sizes the output by the first frame's bit rate, but the frames
    // of a variable-rate file can be far shorter: the output takes what a full
    // input holds at the lowest rate (plus a few frames), so that a conversion
    // never leaves decoded sound behind in the codec.
    const std::uint64_t lowestBytesPerSecond = (m_mp3.version == 10 ? 32000 : 8000) / 8;
    const std::uint64_t most = static_cast<std::uint64_t>(kMp3InputBytes) * out.nAvgBytesPerSec / lowestBytesPerSecond +
                               8ull * 1152 * out.nBlockAlign;
    outBytes = std::max<DWORD>(outBytes, static_cast<DWORD>(most / out.nBlockAlign * out.nBlockAlign));
    m_in.assign(kMp3InputBytes, 0);
    m_out.assign(outBytes, 0);
    m_header = {};
    m_header.cbStruct = sizeof(m_header);
    m_header.pbSrc = m_in.data();
    m_header.cbSrcLength = kMp3InputBytes;
    m_header.pbDst = m_out.data();
    m_header.cbDstLength = outBytes;
    if (acmStreamPrepareHeader(m_stream, &m_header, 0) != 0) {
        acmStreamClose(m_stream, 0);
        m_stream = nullptr;
        return false;
    }
    m_readAt = fileOffset;
    m_inFilled = 0;
    m_streamStarted = false;
    m_inputEnded = false;
    m_pcm.clear();
    m_pcmRead = 0;
    return true;
}

void CTrackSource::StopMp3Stream() {
    if (!m_stream) return;
    m_header.cbSrcLength = kMp3InputBytes;
    acmStreamUnprepareHeader(m_stream, &m_header, 0);
    acmStreamClose(m_stream, 0);
    m_stream = nullptr;
}

bool CTrackSource::DecodeMore() {
    if (!m_stream) return false;
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (m_inputEnded && m_inFilled == 0) return false;
        // Top up the input from the file.
        if (!m_inputEnded && m_inFilled < kMp3InputBytes) {
            std::uint64_t left = m_fileSize > m_readAt ? m_fileSize - m_readAt : 0;
            DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(kMp3InputBytes - m_inFilled, left));
            CFileSource source(m_file, m_fileSize);
            if (want > 0 && source.ReadAt(m_readAt, m_in.data() + m_inFilled, want)) {
                m_inFilled += want;
                m_readAt += want;
            }
            if (want == 0 || m_readAt >= m_fileSize) m_inputEnded = true;
        }
        DWORD flags = m_inputEnded ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
        if (!m_streamStarted) flags |= ACM_STREAMCONVERTF_START;
        m_header.cbSrcLength = m_inFilled;
        m_header.cbSrcLengthUsed = 0;
        m_header.cbDstLengthUsed = 0;
        if (acmStreamConvert(m_stream, &m_header, flags) != 0) return false;
        m_streamStarted = true;
        DWORD used = std::min(m_header.cbSrcLengthUsed, m_inFilled);
        if (used > 0 && used < m_inFilled) std::memmove(m_in.data(), m_in.data() + used, m_inFilled - used);
        m_inFilled -= used;
        const DWORD produced = m_header.cbDstLengthUsed / sizeof(std::int16_t);
        if (produced > 0) {
            const std::int16_t* samples = reinterpret_cast<const std::int16_t*>(m_out.data());
            m_pcm.insert(m_pcm.end(), samples, samples + produced);
            return true;
        }
        if (used == 0 && m_inputEnded) {
            m_inFilled = 0;   // nothing more comes out of what is left
            return false;
        }
    }
    return false;
}

int CTrackSource::Read(float* const* channels, int capacity) {
    EnterCriticalSection(&m_lock);
    int done = 0;
    if (m_kind == Kind::Wav && capacity > 0) {
        const std::int64_t left = m_totalFrames - m_position;
        const int want = static_cast<int>(std::min<std::int64_t>(left, capacity));
        if (want > 0) {
            m_raw.resize(static_cast<std::size_t>(want) * m_wav.blockAlign);
            CFileSource source(m_file, m_fileSize);
            const std::uint64_t at = m_wav.dataOffset + static_cast<std::uint64_t>(m_position) * m_wav.blockAlign;
            if (source.ReadAt(at, m_raw.data(), m_raw.size())) {
                ConvertFrames(m_wav, m_raw.data(), static_cast<std::size_t>(want), channels, 0);
                done = want;
            }
        }
    } else if (m_kind == Kind::Media) {
        done = m_media.Read(channels, capacity);
    } else if (m_kind == Kind::Mp3) {
        if (m_exactLength) capacity = static_cast<int>(std::clamp<std::int64_t>(m_totalFrames - m_position, 0, capacity));
        while (done < capacity) {
            const std::size_t available = (m_pcm.size() - m_pcmRead) / static_cast<std::size_t>(m_channels);
            if (available == 0) {
                m_pcm.erase(m_pcm.begin(), m_pcm.begin() + static_cast<std::ptrdiff_t>(m_pcmRead));
                m_pcmRead = 0;
                if (!DecodeMore()) break;
                continue;
            }
            if (m_discard > 0) {
                const std::size_t drop = std::min(static_cast<std::size_t>(m_discard), available);
                m_pcmRead += drop * static_cast<std::size_t>(m_channels);
                m_discard -= static_cast<std::int64_t>(drop);
                continue;
            }
            const int take = static_cast<int>(std::min<std::size_t>(available, static_cast<std::size_t>(capacity - done)));
            for (int i = 0; i < take; ++i) {
                for (int c = 0; c < m_channels; ++c) channels[c][done + i] = m_pcm[m_pcmRead + c] / 32768.0f;
                m_pcmRead += static_cast<std::size_t>(m_channels);
            }
            done += take;
        }
    }
    m_position += done;
    LeaveCriticalSection(&m_lock);
    return done;
}

void CTrackSource::Seek(std::int64_t frame) {
    EnterCriticalSection(&m_indexLock);
    EnterCriticalSection(&m_lock);
    if (frame < 0) frame = 0;
    if (frame > m_totalFrames) frame = m_totalFrames;
    if (m_kind == Kind::Wav) {
        m_position = frame;
    } else if (m_kind == Kind::Media) {
        if (m_media.Seek(frame)) m_position = frame;
    } else if (m_kind == Kind::Mp3) {
        // The frame that decodes to the sample asked for (counted with the
        // delays before the file's first), found by walking the frames: the
        // seek table of a variable-rate header is good to a few hundred bytes
        // only, and a frame reached through it is of no known number. The
        // decoder starts a few frames earlier, whose sound is dropped: the
        // frame before the one asked for completes its first samples, and it
        // takes its data partly from the frames before it (the bit reservoir,
        // 511 bytes at most; 255 for MPEG-2).
        const std::int64_t target = frame + m_lead;
        const std::int64_t spf = m_mp3.samplesPerFrame;
        const std::int64_t index = target / spf;
        // The walk reads the file, up to all of it for a long one: the
        // player's thread reads on meanwhile. The index is the index lock's,
        // and the file and its first frame stay until Close, which waits.
        LeaveCriticalSection(&m_lock);
        IndexMp3Frames(index);
        EnterCriticalSection(&m_lock);
        const std::int64_t known = static_cast<std::int64_t>(m_frameOffsets.size());
        bool started = false;
        if (index >= known) {
            started = StartMp3Stream(m_fileSize);   // past the last frame: nothing more plays
            m_discard = 0;
        } else {
            const std::uint64_t reservoir = m_mp3.version == 10 ? 511 : 255;
            std::int64_t start = index > 0 ? index - 1 : 0;
            std::uint64_t behind = 0;
            while (start > 0 && behind < reservoir && index - start < 24) {
                // The frame's main data: less its header, checksum and side information.
                const std::uint64_t bytes =
                    m_frameOffsets[static_cast<std::size_t>(start)] - m_frameOffsets[static_cast<std::size_t>(start - 1)];
                behind += bytes > 38 ? bytes - 38 : 0;
                --start;
            }
            started = StartMp3Stream(m_frameOffsets[static_cast<std::size_t>(start)]);
            m_discard = target - start * spf;
        }
        if (started) m_position = frame;
    }
    LeaveCriticalSection(&m_lock);
    LeaveCriticalSection(&m_indexLock);
}

}  // namespace vocalith
