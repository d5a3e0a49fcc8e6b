// The ten-band FFT equalizer.
#include "dsp/equalizer.h"

#include "fft_internal.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kMaxGainValue = 11.0f;

// Edge frequency over sample rate, limited to 0..0.5.
double NormalisedEdge(std::uint32_t edge, std::int32_t sampleRate)
{
    if (sampleRate <= 0) {
        return 0.5;
    }
    const double value = static_cast<double>(edge) / static_cast<double>(sampleRate);
    return value < 0.5 ? value : 0.5;
}

}  // namespace

const std::uint32_t CEqualizer::kDefaultEdges[kEdgeCount] = {0,    50,   100,  200,  400,  800,
                                                             1500, 3000, 6000, 12000, 22000};

CEqualizer::CEqualizer() : CEqualizer(kDefaultEdges) {}

CEqualizer::CEqualizer(const std::uint32_t edges[kEdgeCount])
{
    std::copy(edges, edges + kEdgeCount, m_edges);
    std::fill(m_gains, m_gains + kBandCount, 1.0f);
    std::fill(m_input, m_input + kFftSize, 0.0f);
    std::fill(m_output, m_output + kBlockSize, 0.0f);
    std::fill(m_overlap, m_overlap + kBlockSize, 0.0f);
    std::fill(m_work, m_work + kFftSize, 0.0f);
    std::fill(m_fftWork, m_fftWork + 2 * kFftSize, 0.0f);
    std::fill(m_spectrum, m_spectrum + kResponseBins, ComplexF{0.0f, 0.0f});
    std::fill(m_response, m_response + kResponseBins, ComplexF{0.0f, 0.0f});
}

CEqualizer::~CEqualizer() = default;

float CEqualizer::MapGain(float value)
{
    if (std::isnan(value)) {
        return 1.0f;
    }
    if (value <= 1.0f) {
        return value < 0.0f ? 0.0f : value;
    }
    const float limited = std::min(value, kMaxGainValue);
    return static_cast<float>(std::pow(5.0, static_cast<double>(limited) - 1.0));
}

void CEqualizer::SetSampleRate(std::int32_t rate)
{
    m_sampleRate = rate;
    Design();
}

void CEqualizer::SetGains(const float gains[kBandCount])
{
    for (int i = 0; i < kBandCount; ++i) {
        m_gains[i] = MapGain(gains[i]);
    }
    Design();
}

void CEqualizer::Reset()
{
    std::fill(m_input, m_input + kBlockSize, 0.0f);
    std::fill(m_output, m_output + kBlockSize, 0.0f);
    std::fill(m_work, m_work + kFftSize, 0.0f);
    std::fill(m_overlap, m_overlap + kBlockSize, 0.0f);
}

void CEqualizer::DesignSpectrum(const std::uint32_t edges[kEdgeCount], const float gains[kBandCount],
                                std::int32_t sampleRate, ComplexF spectrum[kDesignBins])
{
    std::fill(spectrum, spectrum + kDesignBins, ComplexF{0.0f, 0.0f});
    const double binsPerUnit = kFftSize * 0.5;
    for (int band = 0; band < kBandCount; ++band) {
        const double lo = NormalisedEdge(edges[band], sampleRate);
        const double hi = NormalisedEdge(edges[band + 1], sampleRate);
        const int first = static_cast<int>(lo * binsPerUnit);
        const int end = static_cast<int>(hi * binsPerUnit);
        const double from = gains[band == 0 ? 0 : band - 1];
        const double to = gains[band];
        const int span = end - first == 0 ? 1 : end - first;
        for (int j = first; j < end; ++j) {
            const double ramp = 0.5 * (1.0 + std::cos(kPi * (j - first + 1) / span));
            spectrum[j].re = static_cast<float>(to + ramp * (from - to));
            spectrum[j].im = 0.0f;
        }
    }
}

void CEqualizer::Design()
{
    std::fill(m_response, m_response + kResponseBins, ComplexF{0.0f, 0.0f});

    // The design spectrum and the impulse response use the convolution's work
    // buffers, which hold nothing between two convolution steps.
    ComplexF* design = m_spectrum;
    DesignSpectrum(m_edges, m_gains, m_sampleRate, design);
    float* impulse = m_work + kBlockSize;
    if (dsp::detail::CcsFft(design, impulse, kDesignOrder, NSP_INVERSE, "CEqualizer::Design", nullptr,
                              m_fftWork) != 0) {
        return;
    }
    // The zero-phase response turned causal: rotated by half its length, then
    // padded with zeros to the convolution size.
    const int half = kBlockSize / 2;
    for (int k = 0; k < half; ++k) {
        m_work[k] = impulse[half + k];
        m_work[half + k] = impulse[k];
    }
    std::fill(m_work + kBlockSize, m_work + kFftSize, 0.0f);
    if (dsp::detail::RealFft(m_work, m_response, kFftOrder, NSP_FORWARD, "CEqualizer::Design", false,
                               m_fftWork) != 0) {
        std::fill(m_response, m_response + kResponseBins, ComplexF{0.0f, 0.0f});
    }
}

void CEqualizer::Silence()
{
    // Without transform tables (out of memory) a block comes out silent.
    std::fill(m_output, m_output + kBlockSize, 0.0f);
    std::fill(m_overlap, m_overlap + kBlockSize, 0.0f);
}

void CEqualizer::Convolve()
{
    // The upper half of the input stays zero: the transform reads the block as
    // it was collected.
    if (dsp::detail::RealFft(m_input, m_spectrum, kFftOrder, NSP_FORWARD, "CEqualizer::Process", true, m_fftWork) != 0) {
        Silence();
        return;
    }
    // The product with the filter's response is taken as the inverse reads it.
    if (dsp::detail::CcsFft(m_spectrum, m_work, kFftOrder, NSP_INVERSE, "CEqualizer::Process", m_response,
                               m_fftWork) != 0) {
        Silence();
        return;
    }
    for (int i = 0; i < kBlockSize; ++i) {
        m_output[i] = m_work[i] + m_overlap[i];
    }
    std::copy(m_work + kBlockSize, m_work + kFftSize, m_overlap);
}

void CEqualizer::Process(std::int32_t count, const float* input, float* output)
{
    if (count <= 0 || input == nullptr || output == nullptr) {
        return;
    }
    std::int32_t done = 0;
    while (done < count) {
        const std::int32_t n = std::min(count - done, kBlockSize - m_position);
        // The input is collected before the output is handed out, so that both
        // may be the same array.
        std::copy(input + done, input + done + n, m_input + m_position);
        std::copy(m_output + m_position, m_output + m_position + n, output + done);
        m_position += n;
        done += n;
        if (m_position == kBlockSize) {
            m_position = 0;
            Convolve();
        }
    }
}
