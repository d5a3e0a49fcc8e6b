/* Ambiora: the surround processor library of Melodrift.
 *
 * A plain C boundary: an opaque effect handle, numbers and the shared
 * SampleBlock; nothing is thrown across it and no library object of either
 * side crosses it. The host reaches it through CSurroundEffect
 * (ambiora/surround_effect.h); other programs may call it directly.
 *
 * Every function accepts a null handle and then does nothing (answering 0).
 */
#ifndef AMBIORA_AMBIORA_H
#define AMBIORA_AMBIORA_H

#include "dsp/sampleblock.h"

#if defined(_WIN32)
#  ifdef AMBIORA_BUILD
#    define AMBIORA_API __declspec(dllexport)
#  else
#    define AMBIORA_API __declspec(dllimport)
#  endif
#  define AMBIORA_CALL __cdecl
#else
#  define AMBIORA_API
#  define AMBIORA_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AmbioraEffect AmbioraEffect;

/* Scalar settings for AmbioraSetValue. */
enum {
    AMBIORA_HF_DECAY = 1,        /* 0..1 */
    AMBIORA_ABSORB = 2,          /* 0.01..0.99 */
    AMBIORA_DRY = 3,             /* level of the original sound */
    AMBIORA_WET = 4,             /* level of the reverberation */
    AMBIORA_LFE_VOLUME = 5,      /* level of the low-frequency channel */
    AMBIORA_VOLUME = 6,          /* level of the positioned sound */
    AMBIORA_LFE_MAX_FREQ = 7,    /* cut-off in Hz */
    AMBIORA_REVERB = 8,          /* 0 off, else on */
    AMBIORA_PROCESS_ADVANCE = 9, /* early reflections: 0 off, else on */
    AMBIORA_MOVE_OFF = 10        /* per-speaker path delays: 0 off, else on */
};

/* A new effect (stereo 44.1 kHz in, 5.1 out), or null when out of memory. */
AMBIORA_API AmbioraEffect* AMBIORA_CALL AmbioraCreate(void);
AMBIORA_API void AMBIORA_CALL AmbioraDestroy(AmbioraEffect* effect);

/* Input format: 1..8 channels, 8..384 kHz, the channel mask of the wave format
 * (a mask that does not fit the channel count is replaced by the usual one).
 * 1 on success, 0 when refused or out of memory (the old format stays). */
AMBIORA_API int AMBIORA_CALL AmbioraSetInputFormat(AmbioraEffect* effect, int channels, int sampleRate,
                                                   unsigned int channelMask);
/* Output speaker layout (a channel mask of 1..8 known speakers, not the LFE
 * alone); 1 on success, 0 when refused. */
AMBIORA_API int AMBIORA_CALL AmbioraSetSpeakers(AmbioraEffect* effect, unsigned int channelMask, int update);
AMBIORA_API void AMBIORA_CALL AmbioraSetSoundPos(AmbioraEffect* effect, float x, float y, int update);
AMBIORA_API void AMBIORA_CALL AmbioraSetRoomSize(AmbioraEffect* effect, float width, float height, int update);
/* One of the AMBIORA_* settings above; 0 for an unknown one. The update flag
 * matters for the levels of the positioned sound and the LFE and for the
 * cut-off; the other settings apply at once. */
AMBIORA_API int AMBIORA_CALL AmbioraSetValue(AmbioraEffect* effect, int setting, float value, int update);

AMBIORA_API int AMBIORA_CALL AmbioraGetOutputChannels(const AmbioraEffect* effect);
AMBIORA_API unsigned int AMBIORA_CALL AmbioraGetOutputMask(const AmbioraEffect* effect);

/* Processes block->filled frames in place. The block's channel table must hold
 * at least max(input, output) channel arrays of block->capacity frames; the
 * output channels replace the input ones. 1 on success, 0 for a block it
 * cannot process (nothing touched). */
AMBIORA_API int AMBIORA_CALL AmbioraProcess(AmbioraEffect* effect, SampleBlock* block, int channelSlots);

/* Silences the delay lines and the reverberation tail. */
AMBIORA_API void AMBIORA_CALL AmbioraReset(AmbioraEffect* effect);

#ifdef __cplusplus
}
#endif

#endif
