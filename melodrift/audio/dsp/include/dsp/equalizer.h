// The ten-band graphic equalizer of one output channel: a linear-phase FIR
// filter of 2048 taps designed in the frequency domain from the ten band gains,
// applied by FFT overlap-add convolution in blocks of 2048 samples. The output
// lags the input by 3072 samples (one block plus half the filter).
//
// Not thread-safe by itself: the playback engine designs and runs its
// equalizers under its effects lock.
#pragma once

#include "dsp/signal.h"

#include <cstdint>

class CEqualizer {
public:
    static constexpr int kBandCount = 10;
    static constexpr int kEdgeCount = kBandCount + 1;
    static constexpr int kBlockSize = 2048;      // samples per convolution step
    static constexpr int kFftOrder = 12;         // 4096-point convolution transform
    static constexpr int kFftSize = 1 << kFftOrder;
    static constexpr int kResponseBins = kFftSize / 2 + 1;
    static constexpr int kDesignOrder = 11;      // 2048-point design transform
    static constexpr int kDesignBins = (1 << kDesignOrder) / 2 + 1;
    static constexpr int kDelay = kBlockSize + kBlockSize / 2;

    // 0, 50, 100, 200, 400, 800, 1500, 3000, 6000, 12000, 22000 Hz.
    static const std::uint32_t kDefaultEdges[kEdgeCount];

    // With the default band edges.
    CEqualizer();
    // Band i spans edges[i] to edges[i + 1], in Hz. All gains 1, no sample rate
    // yet: the filter passes nothing until the first design.
    explicit CEqualizer(const std::uint32_t edges[kEdgeCount]);
    virtual ~CEqualizer();

    CEqualizer(const CEqualizer&) = delete;
    CEqualizer& operator=(const CEqualizer&) = delete;

    // Stores the rate (Hz) and designs the filter. A rate of 0 or below passes nothing.
    void SetSampleRate(std::int32_t rate);
    // Stores the ten gains through MapGain and designs the filter.
    void SetGains(const float gains[kBandCount]);
    // Clears the collected input, the pending output and the overlap; the
    // position in the block and the filter stay.
    void Reset();
    // Filters `count` samples; input and output may be the same array.
    void Process(std::int32_t count, const float* input, float* output);

    std::int32_t GetSampleRate() const { return m_sampleRate; }
    // Effective linear gain of a band (after MapGain).
    float GetGain(int band) const { return m_gains[band]; }
    std::uint32_t GetBandEdge(int index) const { return m_edges[index]; }
    // Bins 0..2048 of the 4096-point transform of the current filter.
    const ComplexF* GetResponse() const { return m_response; }

    // Gain mapping: g <= 1 is used as it is, g > 1 becomes 5^(g - 1); so 0
    // silences, 1 leaves unchanged and 2 multiplies by 5. A negative gain counts
    // as 0 (a band is never inverted), a NaN as 1, and gains above 11 as 11 so
    // that the filter stays finite.
    static float MapGain(float value);

    // The design spectrum (bins 0..1024 of a 2048-point transform, imaginary
    // parts 0) for the given edges, effective gains and sample rate: each band
    // ramps by a half cosine from the previous band's gain to its own, reaching
    // it at its last bin; bins above the top edge stay 0.
    static void DesignSpectrum(const std::uint32_t edges[kEdgeCount], const float gains[kBandCount],
                               std::int32_t sampleRate, ComplexF spectrum[kDesignBins]);

private:
    void Design();
    void Convolve();
    void Silence();

    std::int32_t m_position = 0;
    std::int32_t m_sampleRate = 0;
    std::uint32_t m_edges[kEdgeCount];
    float m_gains[kBandCount];
    float m_input[kFftSize];      // the block collected, then zeros up to the transform size
    float m_output[kBlockSize];
    float m_overlap[kBlockSize];
    float m_work[kFftSize];
    ComplexF m_spectrum[kResponseBins];
    ComplexF m_response[kResponseBins];
    // The transforms' work memory (dsp::detail::FftWorkFloats(kFftOrder)), the
    // equalizer's own: equalizers on two threads never wait for each other.
    float m_fftWork[2 * kFftSize];
};
