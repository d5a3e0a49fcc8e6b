// One run prints, for every effect of the catalog, how fast it processes
// stereo 44.1 kHz sound in blocks of 1024 frames: its real-time factor
// (seconds of sound per second of processor time) and its time relative to a
// plain copy of the same blocks (the baseline, measured in the same run).
//
// Target: every effect at least 60x real time per stereo stream, in the 32-bit
// Windows build too (built for Windows and run with tools/wine-run).
#include "effects/effect.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr int kRate = 44100;
constexpr int kBlock = 1024;
constexpr int kBlocks = 64;   // about 1.5 s of sound per pass

volatile float g_sink;

// Processor time of this thread in seconds, on both sides: std::clock natively,
// the thread's user and kernel times on Windows (whose std::clock is wall time).
double Now()
{
#if defined(_WIN32)
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    auto ticks = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;   // 100 ns units
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

// Best time in seconds of one pass over the sound. A timing repeats the pass
// until it lasts at least 250 ms (so that the clock's steps, 10 to 16 ms for
// the thread times of Windows, do not matter);
// of several timings the fastest counts, so that a busy moment of the
// machine does not.
double BestPass(const std::function<void()>& pass, int timings)
{
    int repeats = 1;
    for (;;) {
        const double start = Now();
        for (int k = 0; k < repeats; ++k) {
            pass();
        }
        if (Now() - start >= 0.25 || repeats >= (1 << 24)) {
            break;
        }
        repeats *= 2;
    }
    double best = 1e300;
    for (int i = 0; i < timings; ++i) {
        const double start = Now();
        for (int k = 0; k < repeats; ++k) {
            pass();
        }
        best = std::min(best, (Now() - start) / repeats);
    }
    return std::max(best, 1e-12);
}

}  // namespace

int main(int argc, char** argv)
{
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<float> source(static_cast<std::size_t>(kChannels) * kBlock * kBlocks);
    std::uint32_t seed = 1;
    for (float& v : source) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>((seed >> 8) / 16777216.0 - 0.5) * 0.5f;
    }
    std::vector<float> work(source.size());
    const double seconds = static_cast<double>(kBlock) * kBlocks / kRate;

    // Baseline: the blocks copied into the work buffer, nothing else.
    const double copy = BestPass(
        [&] {
            for (int b = 0; b < kBlocks; ++b) {
                const std::size_t at = static_cast<std::size_t>(b) * kBlock * kChannels;
                std::memcpy(work.data() + at, source.data() + at, sizeof(float) * kBlock * kChannels);
            }
            g_sink = work[work.size() / 2];
        },
        passes);
    std::printf("Effects, stereo %d Hz, blocks of %d frames, %.2f s of sound per pass\n", kRate, kBlock, seconds);
    std::printf("%-24s %14s %14s\n", "effect", "x real time", "x copy time");
    std::printf("%-24s %14.0f %14.2f\n", "copy (baseline)", seconds / copy, 1.0);

    bool allFast = true;
    for (int i = 0; i < effects::CatalogCount(); ++i) {
        const effects::EffectDescriptor& d = *effects::CatalogAt(i);
        std::unique_ptr<effects::Effect> effect = effects::CreateEffect(d);
        if (!effect || !effect->SetFormat(kChannels, kRate)) {
            std::printf("%-24ls could not be created\n", d.name);
            allFast = false;
            continue;
        }
        const double time = BestPass(
            [&] {
                for (int b = 0; b < kBlocks; ++b) {
                    const std::size_t at = static_cast<std::size_t>(b) * kBlock * kChannels;
                    std::memcpy(work.data() + at, source.data() + at, sizeof(float) * kBlock * kChannels);
                    effect->Process(work.data() + at, kBlock);
                }
                g_sink = work[work.size() / 2];
            },
            passes);
        const double realTime = seconds / time;
        allFast = allFast && realTime >= 60.0;
        std::printf("%-24ls %14.0f %14.1f\n", d.name, realTime, time / copy);
    }
    std::printf("%s\n", allFast ? "Every effect runs at least 60x real time." : "SLOWER THAN 60x REAL TIME.");
    return 0;
}
