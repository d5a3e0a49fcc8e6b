// The voice morphing and special effects of the effect manager (Sonarix.dll,
// loaded from the program folder) as our modules use them (module_morph,
// linked statically, so that each module stays one DLL built against the
// host's public header):
//
//   CSonarixLink     the library, its table read once: effects, parameters, presets
//   the choice (morph_chain.h) kept in the module's settings and told to the
//   other modules over the bus
//   the "Morph" pop-up of the module menu, the commands of its items and their
//   checked state
// The effects run in the module's data path through CEffectChain (morph_chain.h).
//
// Nothing here throws: failures are results (allocation failures included).
#pragma once

#include "host/command_ranges.h"
#include "host/host_interfaces.h"
#include "morph_chain.h"
#include "sonarix/sonarix.h"

#include <windows.h>

#include <string>
#include <vector>

namespace orvo {

// ---- Commands ---------------------------------------------------------------------

constexpr UINT kCmdMorphFiles = 10000;       // the frame's "Morph Selected Files"
constexpr UINT kCmdEffectsLibrary = 372;     // the frame's "Effects Library"
constexpr UINT kCmdEffectBase = kEffectCommandFirst;         // + effect id: choose that effect (voice morph or special effect)
constexpr UINT kCmdVoiceNone = kCmdEffectBase;               // no voice morph
constexpr UINT kCmdSpecialNone = kCmdEffectBase + 99;        // no special effect
constexpr UINT kCmdPresetBase = kCmdEffectBase + 100;        // + id * 16 + preset: a special effect with one of its presets
constexpr int kMaxPresets = 16;
constexpr UINT kCmdPresetLast = kCmdPresetBase + (kMaxEffectId + 1) * kMaxPresets - 1;
static_assert(kEffectCommands.Holds(kCmdSpecialNone) && kEffectCommands.Holds(kCmdPresetLast), "the Morph items keep to their range");

// The modules that share the effect choice (each tells the others with the bus message "effects").
constexpr const wchar_t* kMorphModules[] = {L"Vocalith", L"Sonicut"};
constexpr const wchar_t kEffectsMessage[] = L"effects";

// ---- The library ---------------------------------------------------------------------

class CSonarixLink {
public:
    CSonarixLink() = default;
    // The library stays loaded for the life of the process: this may run while
    // the module itself is being unloaded, where freeing a library is unsafe.
    ~CSonarixLink() {
        if (m_manager) m_manager->Destroy();
    }
    CSonarixLink(const CSonarixLink&) = delete;
    CSonarixLink& operator=(const CSonarixLink&) = delete;

    // Loads <programFolder>Sonarix.dll and reads its table; false when it is missing.
    bool Load(const wchar_t* programFolder);
    bool Loaded() const { return m_manager != nullptr; }
    const std::vector<EffectEntry>& Entries() const { return m_entries; }
    const EffectEntry* Find(int id) const { return FindEffect(m_entries, id); }

private:
    HMODULE m_library = nullptr;
    enSonarix* m_manager = nullptr;
    std::vector<EffectEntry> m_entries;
};

// ---- The choice and its settings -------------------------------------------------------

int ReadIntSetting(IApplication* app, const wchar_t* owner, const wchar_t* key, int fallback);

// Reads the choice from `owner`'s settings; ids the library does not know are taken as none.
MorphChoice LoadMorphChoice(IApplication* app, const wchar_t* owner, const CSonarixLink& link);

void SaveMorphChoice(IApplication* app, const wchar_t* owner, const MorphChoice& c, const CSonarixLink& link);

// Tells the other modules that share the choice to read it from `owner`'s settings.
void BroadcastMorphChoice(IQueryInterface* host, const wchar_t* owner);

// ---- The menu ---------------------------------------------------------------------------

// Appends the "Morph" pop-up: "Voice Morphing" (none and every voice morph) and
// "Special Effects" (none, and every special effect with its presets).
void AppendMorphMenu(HMENU menu, const CSonarixLink& link);

bool IsMorphCommand(UINT id);

// Applies a Morph command to the choice; false when it is not one (or names no effect of the table).
bool ApplyMorphCommand(UINT id, MorphChoice& c, const CSonarixLink& link);

// The checked state of a Morph command's item (1 checked, 0 not).
int MorphCheck(UINT id, const MorphChoice& c);

}  // namespace orvo
