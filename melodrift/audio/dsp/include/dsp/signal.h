// Vector and FFT routines on 32-bit floats, used by the equalizer and by the
// volume and balance stage of the playback engine.
//
// All routines share one process-wide context: the FFT tables of each order
// (built on the first call of that order, then reused, so a transform allocates
// nothing after its first call), the last error status and the error handler.
// Calls from several threads are safe and run side by side: the tables never
// change once built, and each thread transforms in work memory of its own
// (grown on its first call of a larger order). Only building and releasing
// tables take a lock.
//
// Errors are reported, never thrown: a failing routine calls nspError with the
// status, its own name, the failed condition, the source file and the line.
#pragma once

#include <cstdint>

// One complex value: real part, then imaginary part.
struct ComplexF {
    float re;
    float im;
};

// Direction and table flags of the FFT routines.
enum : int {
    NSP_FORWARD = 1,        // forward transform
    NSP_INVERSE = 2,        // inverse transform, scaled by 1/N
    NSP_BUILD_TABLES = 4,   // only build the tables of this order
    NSP_FREE_TABLES = 8,    // release the tables of this order, nothing else
    NSP_NO_SCALE = 16,      // inverse without the 1/N scaling
};

// Status codes.
enum : int {
    NSP_STS_OK = 0,
    NSP_STS_BACKTRACE = -1,
    NSP_STS_INTERNAL = -3,
    NSP_STS_NO_MEMORY = -4,
    NSP_STS_BAD_ARGUMENT = -5,
    NSP_STS_UNSUPPORTED = -6,
    NSP_STS_NO_CONVERGENCE = -7,
    NSP_STS_AUTOTRACE = -8,
    NSP_STS_NULL_POINTER = -10,
    NSP_STS_BAD_POINTER = -12,
    NSP_STS_BAD_STRUCTURE = -13,
    NSP_STS_BAD_LENGTH = -14,
};

// Error handler: (status, routine name, failed condition, source file, line).
// The return value is ignored.
using NspErrorHandler = int (*)(int status, const char* funcName, const char* context,
                                const char* file, int line);

// Forward real FFT of order n (N = 2^n real samples in `inSamps`): writes the
// N/2 + 1 bins 0..N/2 of the DFT to `outSamps` (the CCS layout; bins 0 and N/2
// have imaginary part 0), unscaled. With NSP_INVERSE instead of NSP_FORWARD the
// exponent is positive and the result is scaled by 1/N (unless NSP_NO_SCALE).
void nspsRealFftlNip(const float* inSamps, ComplexF* outSamps, int order, int flags);

// Inverse of the above: the N real samples whose CCS spectrum is `inSamps`
// (imaginary parts of bins 0 and N/2 are taken as 0), scaled by 1/N unless
// NSP_NO_SCALE is set. With NSP_FORWARD instead of NSP_INVERSE the exponent is
// negative and nothing is scaled.
void nspsCcsFftlNip(const ComplexF* inSamps, float* outSamps, int order, int flags);

// dst[k] = dst[k] * src[k] (complex product), k < n.
void nspcbMpy2(const ComplexF* src, ComplexF* dst, int n);
// dst[i] += src[i], i < n.
void nspsbAdd2(const float* src, float* dst, int n);
// dst[i] *= val, i < n.
void nspsbMpy1(float val, float* dst, int n);

// The reporter every routine calls on failure. Statuses -1 and -8 are passed to
// the handler without being stored; every other status becomes the last
// status; status 0 stops there, any other is passed to the handler.
int nspError(int status, const char* funcName, const char* context, const char* file, int line);

// Last stored status, and setting it (e.g. back to 0 before a call).
int nspGetErrStatus();
void nspSetErrStatus(int status);

// Text of a status ("No Error", "Bad argument", ...).
const char* nspErrorStr(int status);

// Installs an error handler (null restores the default one, which does nothing
// beyond the stored status) and returns the previous one.
NspErrorHandler nspRedirectError(NspErrorHandler handler);
