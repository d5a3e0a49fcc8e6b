// Internal entry points of the FFT routines that report their status to the
// caller as well (the public routines return nothing).
#pragma once

#include "dsp/signal.h"

namespace dsp::detail {

// Forward (or positive-exponent) real FFT; returns the reported status, 0 on success.
int RealFft(const float* in, ComplexF* out, int order, int flags, const char* funcName);
// Real signal from a CCS spectrum; returns the reported status, 0 on success.
int CcsFft(const ComplexF* in, float* out, int order, int flags, const char* funcName);

// Chooses between the SSE2 form of the transforms (the default where the build
// has one) and the plain form; false when the SSE2 form was asked for but the
// build has none. Meant for tests and benchmarks that compare the two.
bool SetFftSimd(bool enabled);

}  // namespace dsp::detail
