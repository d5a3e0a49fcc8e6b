// The solution commands' text as the log service sends it, read into commands
// (no Windows header: builds in every preset). The text is "number%argument"
// commands separated by ";"; both splits skip empty pieces.
//
//   for (const SolutionCommand& c : ReadSolutionCommands(L"2%C:\\bad.exe;1%bad.exe")) ...
//
// What comes from the network is untrusted: a command whose number is not a
// plain decimal number from 1 to 6 (blanks around it allowed) is dropped, so
// "1abc" or "2x" is no command at all.
#pragma once

#include <string>
#include <vector>

constexpr int kFirstSolutionCommand = 1;
constexpr int kLastSolutionCommand = 6;

struct SolutionCommand {
    int number = 0;
    std::wstring argument;
    bool operator==(const SolutionCommand&) const = default;
};

// The non-empty pieces of text between any of the separator characters.
std::vector<std::wstring> TokeniseText(const std::wstring& text, const wchar_t* separators);

// A command number: decimal digits only, with blanks (space, tab, CR, LF)
// around them allowed, between 1 and 6.
bool ReadCommandNumber(const std::wstring& text, int& number);

// The commands in their order; malformed ones (fewer than two pieces around
// "%", a bad number) are left out.
std::vector<SolutionCommand> ReadSolutionCommands(const std::wstring& text);

// The argument of a registry command: root name, subkey and value name joined
// by ":" (at least three pieces; more are ignored).
struct RegistryValueTarget {
    std::wstring root, subkey, value;
};
bool ReadRegistryValueTarget(const std::wstring& argument, RegistryValueTarget& out);
