#include "mf_source.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vocalith {

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;   // the framework's time unit is 100 ns
// Samples a read may pass over (format changes, empty samples) before it gives up.
constexpr int kMaxEmptyReads = 64;
const DWORD kAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

bool NoDecoder(HRESULT hr) {
    return hr == MF_E_UNSUPPORTED_BYTESTREAM_TYPE || hr == MF_E_TOPO_CODEC_NOT_FOUND || hr == MF_E_INVALIDMEDIATYPE ||
           hr == MF_E_UNSUPPORTED_FORMAT || hr == MF_E_UNSUPPORTED_SCHEME || hr == REGDB_E_CLASSNOTREG ||
           hr == MF_E_NO_MORE_TYPES;
}

// Asks the reader for the file's own rate and channels as float, else as
// 16-bit integers; false when the decoder offers neither.
bool ChooseOutput(IMFSourceReader* reader, bool& isFloat) {
    IMFMediaType* native = nullptr;
    if (FAILED(reader->GetNativeMediaType(kAudio, 0, &native))) return false;
    UINT32 channels = 0, rate = 0;
    native->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
    native->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
    native->Release();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool asFloat = attempt == 0;
        IMFMediaType* type = nullptr;
        if (FAILED(MFCreateMediaType(&type))) return false;
        type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        type->SetGUID(MF_MT_SUBTYPE, asFloat ? MFAudioFormat_Float : MFAudioFormat_PCM);
        type->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, asFloat ? 32 : 16);
        if (channels) type->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, channels);
        if (rate) type->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate);
        const HRESULT hr = reader->SetCurrentMediaType(kAudio, nullptr, type);
        type->Release();
        if (SUCCEEDED(hr)) {
            isFloat = asFloat;
            return true;
        }
    }
    return false;
}

// The framework's reader of a file, made on a thread of its own: Wine's has
// been seen to wait for ever in there on a damaged file, and the window that
// asked must not wait with it. A reader not made within kOpenWaitMs is given
// up; its thread ends by itself when (if ever) the framework answers, and
// releases what it made.
constexpr DWORD kOpenWaitMs = 10000;

struct PendingOpen {
    std::wstring path;
    HANDLE done = nullptr;
    HRESULT hr = E_FAIL;
    IMFSourceReader* reader = nullptr;
    LONG owners = 2;   // the opener and the thread; the last one frees it

    void Release() {
        if (InterlockedDecrement(&owners) != 0) return;
        if (reader) reader->Release();
        CloseHandle(done);
        delete this;
    }
};

DWORD WINAPI MakeReader(void* parameter) {
    auto* pending = static_cast<PendingOpen*>(parameter);
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    const bool started = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
    if (started) {
        IMFAttributes* attributes = nullptr;
        if (SUCCEEDED(MFCreateAttributes(&attributes, 1))) attributes->SetUINT32(MF_READWRITE_DISABLE_CONVERTERS, FALSE);
        pending->hr = MFCreateSourceReaderFromURL(pending->path.c_str(), attributes, &pending->reader);
        if (attributes) attributes->Release();
    }
    SetEvent(pending->done);
    pending->Release();
    if (started) MFShutdown();
    if (com) CoUninitialize();
    return 0;
}

// The reader of `path`, or null with the framework's answer in `hr`
// (HRESULT_FROM_WIN32(ERROR_TIMEOUT) when it gave none in time).
IMFSourceReader* OpenReader(const std::wstring& path, HRESULT& hr) {
    auto* pending = new PendingOpen;
    pending->path = path;
    pending->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = pending->done ? CreateThread(nullptr, 0, MakeReader, pending, 0, nullptr) : nullptr;
    if (!thread) {
        if (pending->done) CloseHandle(pending->done);
        delete pending;
        hr = E_OUTOFMEMORY;
        return nullptr;
    }
    CloseHandle(thread);
    IMFSourceReader* reader = nullptr;
    if (WaitForSingleObject(pending->done, kOpenWaitMs) == WAIT_OBJECT_0) {
        hr = pending->hr;
        reader = pending->reader;
        pending->reader = nullptr;
        if (FAILED(hr) && reader) {
            reader->Release();
            reader = nullptr;
        }
    } else {
        hr = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    pending->Release();
    return reader;
}

}  // namespace

CMfSource::~CMfSource() {
    Close();
}

void CMfSource::Close() {
    if (m_reader) m_reader->Release();
    m_reader = nullptr;
    if (m_started) MFShutdown();
    m_started = false;
    if (m_comInit) CoUninitialize();
    m_comInit = false;
    m_channels = m_rate = 0;
    m_channelMask = 0;
    m_totalFrames = m_position = 0;
    m_lead = m_discard = 0;
    m_want = -1;
    m_ended = false;
    m_pcm.clear();
    m_pcmRead = 0;
}

bool CMfSource::Open(const std::wstring& path, const std::wstring& format, std::wstring& error) {
    Close();
    const std::wstring kind = format.empty() ? L"this kind of file" : format + L" files";
    // The decoders are COM objects: COM on this thread (as it is, or the free-threaded apartment).
    m_comInit = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    if (FAILED(MFStartup(MF_VERSION, MFSTARTUP_LITE))) {
        error = L"the system's media framework is not available";
        return false;
    }
    m_started = true;
    HRESULT hr = E_FAIL;
    m_reader = OpenReader(path, hr);
    if (!m_reader) {
        error = NoDecoder(hr)                              ? L"this system has no decoder for " + kind
                : hr == HRESULT_FROM_WIN32(ERROR_TIMEOUT) ? L"the system's decoder did not answer"
                                                           : L"the file could not be decoded (error " + Hex(hr) + L")";
        Close();
        return false;
    }
    // Only the first sound stream (a video or picture stream is not decoded).
    m_reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    hr = m_reader->SetStreamSelection(kAudio, TRUE);
    if (FAILED(hr) || !ChooseOutput(m_reader, m_float)) {
        error = FAILED(hr) ? L"the file holds no sound" : L"this system has no decoder for " + kind;
        Close();
        return false;
    }
    IMFMediaType* current = nullptr;
    UINT32 channels = 0, rate = 0, mask = 0;
    if (SUCCEEDED(m_reader->GetCurrentMediaType(kAudio, &current))) {
        current->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
        current->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
        if (FAILED(current->GetUINT32(MF_MT_AUDIO_CHANNEL_MASK, &mask))) mask = 0;
        UINT32 bits = 0;
        current->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
        GUID subtype = GUID_NULL;
        current->GetGUID(MF_MT_SUBTYPE, &subtype);
        m_float = subtype == MFAudioFormat_Float && bits == 32;
        if (!m_float && !(subtype == MFAudioFormat_PCM && bits == 16)) channels = 0;
        current->Release();
    }
    if (channels == 0 || channels > 8 || rate < 1000 || rate > 384000) {
        error = L"this system has no decoder for " + kind;
        Close();
        return false;
    }
    m_channels = static_cast<int>(channels);
    m_rate = static_cast<int>(rate);
    m_channelMask = mask;
    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (SUCCEEDED(m_reader->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION,
                                                     &duration)) &&
        duration.vt == VT_UI8) {
        m_totalFrames = static_cast<std::int64_t>(duration.uhVal.QuadPart * static_cast<ULONGLONG>(m_rate) /
                                                  static_cast<ULONGLONG>(kUnitsPerSecond));
    }
    PropVariantClear(&duration);
    // The first sound tells where the file's time begins, and that it decodes at all.
    if (!DecodeMore()) {
        error = L"the file could not be decoded";
        Close();
        return false;
    }
    return true;
}

bool CMfSource::DecodeMore() {
    if (!m_reader || m_ended) return false;
    for (int attempt = 0; attempt < kMaxEmptyReads; ++attempt) {
        DWORD flags = 0;
        LONGLONG time = 0;
        IMFSample* sample = nullptr;
        const HRESULT hr = m_reader->ReadSample(kAudio, 0, nullptr, &flags, &time, &sample);
        if (FAILED(hr) || (flags & (MF_SOURCE_READERF_ERROR | MF_SOURCE_READERF_ENDOFSTREAM))) {
            if (sample) sample->Release();
            m_ended = true;
            return false;
        }
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            // A stream that changes its layout midway ends where it changes.
            IMFMediaType* type = nullptr;
            UINT32 channels = 0, rate = 0;
            if (SUCCEEDED(m_reader->GetCurrentMediaType(kAudio, &type))) {
                type->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
                type->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
                type->Release();
            }
            if (static_cast<int>(channels) != m_channels || static_cast<int>(rate) != m_rate) {
                if (sample) sample->Release();
                m_ended = true;
                return false;
            }
        }
        if (!sample) continue;
        IMFMediaBuffer* buffer = nullptr;
        BYTE* data = nullptr;
        DWORD bytes = 0;
        std::size_t added = 0;
        if (SUCCEEDED(sample->ConvertToContiguousBuffer(&buffer)) && SUCCEEDED(buffer->Lock(&data, nullptr, &bytes))) {
            const std::size_t count = m_float ? bytes / sizeof(float) : bytes / sizeof(std::int16_t);
            const std::size_t whole = count / static_cast<std::size_t>(m_channels) * static_cast<std::size_t>(m_channels);
            const std::size_t at = m_pcm.size();
            m_pcm.resize(at + whole);
            if (m_float) {
                std::memcpy(m_pcm.data() + at, data, whole * sizeof(float));
            } else {
                const auto* in = reinterpret_cast<const std::int16_t*>(data);
                for (std::size_t i = 0; i < whole; ++i) m_pcm[at + i] = in[i] / 32768.0f;
            }
            added = whole;
            buffer->Unlock();
        }
        if (buffer) buffer->Release();
        sample->Release();
        if (added == 0) continue;
        if (m_want >= 0) {
            // The first sound after a seek: cut to the frame asked for (the
            // decoder starts at a packet or page before it). Only here are time
            // stamps trusted: Wine's AAC decoder stamps the sound of a file's
            // start 1,024 frames late, though it plays and seeks by the right times.
            const std::int64_t frame = (time * m_rate + kUnitsPerSecond / 2) / kUnitsPerSecond;
            const std::int64_t frames = static_cast<std::int64_t>(added) / m_channels;
            if (frame + frames <= m_want) {
                m_pcm.resize(m_pcm.size() - added);
                --attempt;   // not an empty read: the stream goes on towards the place
                continue;
            }
            const std::int64_t early = m_want - frame;
            m_want = -1;
            if (early > 0) {
                const auto end = m_pcm.end() - static_cast<std::ptrdiff_t>(added);
                m_pcm.erase(end, end + static_cast<std::ptrdiff_t>(early * m_channels));
            }
        }
        return true;
    }
    m_ended = true;
    return false;
}

int CMfSource::Read(float* const* channels, int capacity) {
    int done = 0;
    while (done < capacity && m_reader) {
        if (m_totalFrames > 0 && m_position + done >= m_totalFrames) break;
        const std::size_t available = (m_pcm.size() - m_pcmRead) / static_cast<std::size_t>(m_channels);
        if (available == 0) {
            m_pcm.clear();
            m_pcmRead = 0;
            if (!DecodeMore()) break;
            continue;
        }
        if (m_discard > 0) {
            const std::int64_t drop = std::min<std::int64_t>(m_discard, static_cast<std::int64_t>(available));
            m_pcmRead += static_cast<std::size_t>(drop) * static_cast<std::size_t>(m_channels);
            m_discard -= drop;
            continue;
        }
        std::int64_t take = std::min<std::int64_t>(static_cast<std::int64_t>(available), capacity - done);
        if (m_totalFrames > 0) take = std::min(take, m_totalFrames - (m_position + done));
        for (std::int64_t i = 0; i < take; ++i) {
            for (int c = 0; c < m_channels; ++c) channels[c][done + i] = m_pcm[m_pcmRead + c];
            m_pcmRead += static_cast<std::size_t>(m_channels);
        }
        done += static_cast<int>(take);
    }
    m_position += done;
    return done;
}

bool CMfSource::Seek(std::int64_t frame) {
    if (!m_reader || m_rate <= 0) return false;
    if (frame < 0) frame = 0;
    if (m_totalFrames > 0 && frame > m_totalFrames) frame = m_totalFrames;
    PROPVARIANT at;
    PropVariantInit(&at);
    at.vt = VT_I8;
    // Rounded up: a decoder that starts at the frame the time falls in then starts at this one.
    at.hVal.QuadPart = ((frame + m_lead) * kUnitsPerSecond + m_rate - 1) / m_rate;
    const HRESULT hr = m_reader->SetCurrentPosition(GUID_NULL, at);
    PropVariantClear(&at);
    if (FAILED(hr)) return false;
    m_pcm.clear();
    m_pcmRead = 0;
    m_ended = false;
    m_position = frame;
    m_want = frame + m_lead;
    m_discard = 0;
    return true;
}

}  // namespace vocalith
