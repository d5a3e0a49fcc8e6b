// Who owns which command number (menu items, accelerators, buttons): the
// frame's and those of each module we ship never meet, so that the frame can
// ask the active module first and still run its own commands.
//
//   the frame          everything below kModuleCommandsFirst but the effects'
//                      items, and the framework's standard commands from
//                      kStandardCommandsFirst up
//   the Morph effects  kEffectCommandFirst + the effect's identifier, in the
//                      frame's and the modules' menus alike
//   each module        a thousand of its own, from kModuleCommandsFirst up
//
// A module from elsewhere picks numbers outside all of these.
#pragma once

namespace orvo {

struct CommandRange {
    unsigned int first;
    unsigned int last;   // included
    constexpr bool Holds(unsigned int id) const { return id >= first && id <= last; }
};

inline constexpr unsigned int kEffectCommandFirst = 17100;
inline constexpr unsigned int kEffectCommandLast = 18299;
inline constexpr CommandRange kEffectCommands = {kEffectCommandFirst, kEffectCommandLast};

inline constexpr unsigned int kModuleCommandsFirst = 41000;
inline constexpr CommandRange kTunestackCommands = {41000, 41999};
inline constexpr CommandRange kSonicutCommands = {42000, 42999};
inline constexpr CommandRange kVocalithCommands = {43000, 43999};
inline constexpr unsigned int kModuleCommandsLast = 43999;

inline constexpr unsigned int kStandardCommandsFirst = 0xE000;

// The range of a module we ship, by its name; null for any other.
constexpr const CommandRange* ShippedModuleCommands(const wchar_t* name) {
    const auto same = [](const wchar_t* a, const wchar_t* b) {
        while (*a && *a == *b) ++a, ++b;
        return *a == *b;
    };
    if (!name) return nullptr;
    if (same(name, L"Tunestack")) return &kTunestackCommands;
    if (same(name, L"Sonicut")) return &kSonicutCommands;
    if (same(name, L"Vocalith")) return &kVocalithCommands;
    return nullptr;
}

}  // namespace orvo
