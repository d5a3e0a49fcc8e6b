// Sonarix: Melodrift's effect manager, the voice-morphing and special effects
// offered in the frame's menus and used by modules.
//
// How the effects cross the DLL boundary: as abstract interfaces (tables of
// virtual functions, the same layout with every compiler of the platform) and
// one C export. Only plain types pass: int, float, const wchar_t* texts owned
// by the DLL, float sample arrays and the player's SampleBlock, owned by the
// caller. No standard-library object and no exception crosses; failures are
// answered as 0.
//
// Memory rule: whatever Sonarix creates, Sonarix frees. An effect made by
// CreateEffect is given back with its Destroy(); the manager from
// SonarixCreateManager with its Destroy(). The effect table and its entries
// belong to the manager and live as long as it does. Texts returned by an
// interface live as long as the object that returned them.
//
// The caller's side is CSonarix (at the end of this file): an inline object
// compiled into the caller that creates the manager in Initialize() and frees
// it in its destructor.
//
// Table order and identifiers are fixed: the frame's menu items are
// 17100 + GetID(), so an identifier never changes once shipped.
//
// Threads: the manager and the table may be read from any thread; one effect
// object is used by one thread at a time.
#ifndef SONARIX_SONARIX_H
#define SONARIX_SONARIX_H

#include "dsp/sampleblock.h"

#if defined(_WIN32)
#  ifdef SONARIX_BUILD
#    define SONARIX_API __declspec(dllexport)
#  else
#    define SONARIX_API __declspec(dllimport)
#  endif
#  define SONARIX_CALL __cdecl
#  define SONARIX_METHOD __stdcall
#else
#  define SONARIX_API
#  define SONARIX_CALL
#  define SONARIX_METHOD
#endif

// Effect types (CEffectInfo::GetEffectType).
enum {
    SONARIX_SPECIAL_EFFECT = 0,   // echo, reverb, chorus, ...
    SONARIX_VOICE_MORPHING = 1,   // pitch shift, robot, whisper, ...
};

// Identifiers of the shipped effects (CEffectInfo::GetID), in table order.
enum {
    SONARIX_ID_PITCH_UP = 1,
    SONARIX_ID_PITCH_DOWN = 2,
    SONARIX_ID_CHIPMUNK = 3,
    SONARIX_ID_GIANT = 4,
    SONARIX_ID_ROBOT = 5,
    SONARIX_ID_WHISPER = 6,
    SONARIX_ID_ECHO = 20,
    SONARIX_ID_REVERB = 21,
    SONARIX_ID_CHORUS = 22,
    SONARIX_ID_FLANGER = 23,
    SONARIX_ID_DISTORTION = 24,
    SONARIX_ID_TREMOLO = 25,
    SONARIX_ID_GAIN = 26,         // a plain volume stage, without presets
};

// One parameter of an effect.
struct SonarixParamInfo {
    const wchar_t* name;   // e.g. L"Delay (ms)", owned by the effect
    float minimum;
    float maximum;
    float defaultValue;
};

// A created effect. Process works on interleaved float frames in place, any
// channel count from 1 to 8 and any sample rate from 8 kHz to 384 kHz; its
// output is the same whatever the block sizes the stream is cut into.
class enEffect {
public:
    virtual const wchar_t* SONARIX_METHOD GetName() = 0;
    virtual int SONARIX_METHOD GetEffectType() = 0;
    virtual int SONARIX_METHOD GetID() = 0;

    // Presets: named parameter sets; an effect may have none.
    virtual int SONARIX_METHOD GetPresetCount() = 0;
    virtual const wchar_t* SONARIX_METHOD GetPresetName(int index) = 0;   // null when out of range
    virtual int SONARIX_METHOD ApplyPreset(int index) = 0;               // 1, or 0 when out of range

    // Parameters, clamped to their range when set.
    virtual int SONARIX_METHOD GetParamCount() = 0;
    virtual int SONARIX_METHOD GetParamInfo(int index, SonarixParamInfo* info) = 0;   // 1, or 0 when out of range
    virtual float SONARIX_METHOD GetParam(int index) = 0;                             // 0 when out of range
    virtual int SONARIX_METHOD SetParam(int index, float value) = 0;                  // 1, or 0 when out of range

    // Stream format; resets the effect's state. 1, or 0 when refused (the
    // old format stays) or out of memory (the effect then tries again on the
    // next call and processes nothing until it succeeds). The default is 2
    // channels at 44100 Hz.
    virtual int SONARIX_METHOD SetFormat(int channels, int sampleRate) = 0;
    // Processes `frames` interleaved frames of the current format in place.
    // 1, or 0 for a null array or negative count (nothing touched). Samples
    // that are not numbers are taken as silence.
    virtual int SONARIX_METHOD Process(float* samples, int frames) = 0;
    // The same for the player's sample block: block->filled frames of its
    // first channel-count arrays, in place. 1, or 0 for a block it cannot
    // process (null, fewer filled than 0 or more than its capacity, a missing
    // array); nothing is touched then.
    virtual int SONARIX_METHOD ProcessBlock(SampleBlock* block) = 0;
    // Silences delay lines and tails.
    virtual void SONARIX_METHOD Reset() = 0;

    // Frees the effect; it must not be used afterwards.
    virtual void SONARIX_METHOD Destroy() = 0;

protected:
    ~enEffect() = default;
};

// One entry of the effect table.
class CEffectInfo {
public:
    virtual int SONARIX_METHOD GetEffectType() = 0;        // SONARIX_SPECIAL_EFFECT or SONARIX_VOICE_MORPHING
    virtual int SONARIX_METHOD GetID() = 0;                // small, stable, unique in the table
    virtual const wchar_t* SONARIX_METHOD GetName() = 0;   // the same name the effect reports
    virtual enEffect* SONARIX_METHOD CreateEffect() = 0;   // null when out of memory; free with Destroy()

protected:
    ~CEffectInfo() = default;
};

// The effect table, in its fixed order.
class CEffectTable {
public:
    virtual int SONARIX_METHOD GetCount() = 0;
    virtual CEffectInfo* SONARIX_METHOD GetAt(int index) = 0;   // null when out of range
    // The entry with this identifier, or null.
    virtual CEffectInfo* SONARIX_METHOD FindByID(int id) = 0;

protected:
    ~CEffectTable() = default;
};

// The effect manager.
class enSonarix {
public:
    virtual CEffectTable* SONARIX_METHOD GetEffectTable() = 0;
    virtual void SONARIX_METHOD Destroy() = 0;

protected:
    ~enSonarix() = default;
};

#ifdef __cplusplus
extern "C" {
#endif

// A new manager with its table filled, or null when out of memory.
SONARIX_API enSonarix* SONARIX_CALL SonarixCreateManager(void);

#ifdef __cplusplus
}
#endif

// The caller's manager object: construct it, call Initialize(), then use it as
// an enSonarix (GetEffectTable). Frees the manager when destroyed.
class CSonarix {
public:
    CSonarix() = default;
    ~CSonarix()
    {
        if (m_manager) {
            m_manager->Destroy();
        }
    }
    CSonarix(const CSonarix&) = delete;
    CSonarix& operator=(const CSonarix&) = delete;

    // Creates the manager; true when it is there (also on a second call).
    bool Initialize()
    {
        if (!m_manager) {
            m_manager = SonarixCreateManager();
        }
        return m_manager != nullptr;
    }
    bool IsInitialized() const { return m_manager != nullptr; }

    enSonarix* GetManager() const { return m_manager; }
    // The effect table, or null before a successful Initialize().
    CEffectTable* GetEffectTable() const { return m_manager ? m_manager->GetEffectTable() : nullptr; }

private:
    enSonarix* m_manager = nullptr;
};

#endif
