// Plays a generated file through the playback engine and prints processor time
// (user plus kernel) as a share of one core over the time of the playback: of
// the engine's feeder thread, which runs the data source's conversion too
// (GetThreadTimes), and of the whole process (GetProcessTimes: every thread,
// the system's sound mixing threads among them). The baseline is the same
// process idle, measured in the same run before playback starts.
// Wine counts these times in clock ticks (10 ms): the thread running at each
// tick is charged. For a thread that runs some microseconds at a time the
// figure is a sample, good over a long playback (60 s: 6,000 ticks a core).
//   melodrift_playback_bench [seconds] [--kv]      (default 60 s)
// The file is 16-bit stereo PCM at 44.1 kHz (a WAVE file in the temporary
// folder, removed afterwards); the data source reads it in the engine's
// blocks and converts the samples to float, as a format module does.
#include "player/ext_player_dx.h"

#include <windows.h>
#include <objbase.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr DWORD kHeaderBytes = 44;

double Seconds(const FILETIME& t)
{
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
}

double ProcessSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    return Seconds(kernel) + Seconds(user);
}

// User plus kernel time of a thread; 0 without one.
double ThreadSeconds(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    return Seconds(kernel) + Seconds(user);
}

double WallSeconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Put32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

void Put16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

// A WAVE file of `frames` stereo frames: a tone in each channel with some noise.
bool WriteWave(const std::wstring& path, std::int64_t frames)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * kChannels * 2);
    unsigned char header[kHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, 1);
    Put16(header + 22, kChannels);
    Put32(header + 24, kRate);
    Put32(header + 28, kRate * kChannels * 2);
    Put16(header + 32, kChannels * 2);
    Put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, dataBytes);
    DWORD written = 0;
    bool ok = WriteFile(file, header, kHeaderBytes, &written, nullptr) && written == kHeaderBytes;
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(kRate) * kChannels);
    std::uint32_t noise = 1;
    for (std::int64_t done = 0; ok && done < frames;) {
        const std::int64_t n = frames - done < kRate ? frames - done : kRate;
        for (std::int64_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(done + i) / kRate;
            for (int c = 0; c < kChannels; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const double v = 0.4 * std::sin(2 * 3.14159265358979323846 * (440.0 + 110.0 * c) * t) +
                                 0.05 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
                chunk[static_cast<std::size_t>(i * kChannels + c)] = static_cast<std::int16_t>(std::lround(v * 32767));
            }
        }
        const DWORD bytes = static_cast<DWORD>(n * kChannels * 2);
        ok = WriteFile(file, chunk.data(), bytes, &written, nullptr) && written == bytes;
        done += n;
    }
    CloseHandle(file);
    return ok;
}

// The data source: the file's samples, read block by block and converted.
class WaveSource {
public:
    explicit WaveSource(const std::wstring& path)
    {
        m_file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (m_file != INVALID_HANDLE_VALUE) {
            SetFilePointer(m_file, kHeaderBytes, nullptr, FILE_BEGIN);
        }
    }
    ~WaveSource()
    {
        if (m_file != INVALID_HANDLE_VALUE) {
            CloseHandle(m_file);
        }
        if (m_thread) {
            CloseHandle(m_thread);
        }
    }
    WaveSource(const WaveSource&) = delete;
    WaveSource& operator=(const WaveSource&) = delete;

    bool Ok() const { return m_file != INVALID_HANDLE_VALUE; }
    std::int64_t Frames() const { return m_frames; }
    // The engine's feeder thread, once it has called.
    HANDLE Thread() const { return m_thread; }

    static int __cdecl Callback(std::uintptr_t user, SampleBlock* block, int reserved)
    {
        return reinterpret_cast<WaveSource*>(user)->OnCall(block, reserved);
    }

private:
    int OnCall(SampleBlock* block, int)
    {
        // The first fill comes from the thread that starts the playback; the
        // feeder is the other one.
        if (!m_thread && GetCurrentThreadId() != m_startingThread) {
            m_thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, GetCurrentThreadId());
        }
        if (!block || !block->channels || block->capacity <= 0) {
            return 0;  // a notice
        }
        const std::size_t want = static_cast<std::size_t>(block->capacity) * kChannels;
        if (m_samples.size() < want) {
            m_samples.resize(want);
        }
        DWORD got = 0;
        if (!ReadFile(m_file, m_samples.data(), static_cast<DWORD>(want * 2), &got, nullptr) || got < 4) {
            return 0;
        }
        const std::int32_t frames = static_cast<std::int32_t>(got / (2 * kChannels));
        const float scale = 1.0f / 32768.0f;
        for (std::int32_t i = 0; i < frames; ++i) {
            block->channels[0][i] = scale * m_samples[static_cast<std::size_t>(2 * i)];
            block->channels[1][i] = scale * m_samples[static_cast<std::size_t>(2 * i + 1)];
        }
        block->filled = frames;
        m_frames += frames;
        return 1;
    }

    HANDLE m_file = INVALID_HANDLE_VALUE;
    HANDLE m_thread = nullptr;
    DWORD m_startingThread = GetCurrentThreadId();
    std::vector<std::int16_t> m_samples;
    std::int64_t m_frames = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 60.0;
    bool kv = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kv") == 0) {
            kv = true;
        } else {
            seconds = std::atof(argv[i]);
        }
    }
    if (!(seconds >= 1.0 && seconds <= 3600.0)) {
        std::fprintf(stderr, "usage: melodrift_playback_bench [seconds 1..3600] [--kv]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path =
        std::wstring(temp) + L"playback-bench-" + std::to_wstring(GetCurrentProcessId()) + L".wav";
    const std::int64_t frames = static_cast<std::int64_t>(seconds * kRate);
    if (!WriteWave(path, frames)) {
        std::fprintf(stderr, "could not write the test file\n");
        return 1;
    }

    int status = 0;
    {
        // Baseline: this process idle for a second (its threads as they are).
        const double idleCpu0 = ProcessSeconds(), idleWall0 = WallSeconds();
        Sleep(1000);
        const double idleShare = (ProcessSeconds() - idleCpu0) / (WallSeconds() - idleWall0);

        WaveSource source(path);
        CExtPlayerDX player;
        WAVEFORMATEXTENSIBLE format = {};
        format.Format.wFormatTag = WAVE_FORMAT_PCM;
        format.Format.nChannels = kChannels;
        format.Format.nSamplesPerSec = kRate;
        format.Format.wBitsPerSample = 16;
        format.Format.nBlockAlign = kChannels * 2;
        format.Format.nAvgBytesPerSec = kRate * kChannels * 2;
        if (!source.Ok() || player.SetFormat(&format) != 0 ||
            player.SetDataCallback(&WaveSource::Callback, reinterpret_cast<std::uintptr_t>(&source)) != 0) {
            std::fprintf(stderr, "could not set up the engine\n");
            status = 1;
        } else {
            const double cpu0 = ProcessSeconds(), wall0 = WallSeconds();
            if (player.Play() != 0) {
                std::fprintf(stderr, "Play failed (no sound device?)\n");
                status = 1;
            } else {
                const double limit = wall0 + seconds * 2 + 30;
                while (player.GetState() == kPlayerPlaying && WallSeconds() < limit) {
                    Sleep(50);
                }
                const double cpu = ProcessSeconds() - cpu0, wall = WallSeconds() - wall0;
                if (player.GetState() == kPlayerPlaying) {
                    player.Stop(0);
                    std::fprintf(stderr, "playback did not end in time\n");
                    status = 1;
                }
                const double share = cpu / wall;
                const double feeder = ThreadSeconds(source.Thread());
                const double feederShare = feeder / wall;
                if (kv) {
                    std::printf("playback_seconds=%.2f\nplayback_cpu_seconds=%.3f\nplayback_cpu_share=%.5f\n"
                                "feeder_cpu_share=%.5f\nidle_cpu_share=%.5f\nframes=%lld\n",
                                wall, cpu, share, feederShare, idleShare, static_cast<long long>(source.Frames()));
                } else {
                    std::printf("Playback of %.0f s of 16-bit stereo 44.1 kHz (%lld frames read) took %.1f s\n"
                                "the engine's feeder thread (with the conversion): %.3f s, %.2f%% of one core; "
                                "target <= 2%%\n"
                                "the whole process: %.3f s, %.2f%% of one core (idle: %.2f%%)\n",
                                seconds, static_cast<long long>(source.Frames()), wall, feeder, 100.0 * feederShare,
                                cpu, 100.0 * share, 100.0 * idleShare);
                }
            }
        }
        player.Close();
    }
    DeleteFileW(path.c_str());
    CoUninitialize();
    return status;
}
