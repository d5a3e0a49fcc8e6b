#include "klarwin/online/solution_text.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

std::vector<std::wstring> TokeniseText(const std::wstring& text, const wchar_t* separators) {
    std::vector<std::wstring> tokens;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find_first_not_of(separators, pos);
        if (start == std::wstring::npos) break;
        size_t end = text.find_first_of(separators, start);
        if (end == std::wstring::npos) end = text.size();
        tokens.push_back(text.substr(start, end - start));
        pos = end;
    }
    return tokens;
}

bool ReadCommandNumber(const std::wstring& text, int& number) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    if (begin == end || end - begin > 9) return false;
    int value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + (text[i] - L'0');
    }
    if (value < kFirstSolutionCommand || value > kLastSolutionCommand) return false;
    number = value;
    return true;
}

std::vector<SolutionCommand> ReadSolutionCommands(const std::wstring& text) {
    std::vector<SolutionCommand> commands;
    for (const std::wstring& piece : TokeniseText(text, L";")) {
        const std::vector<std::wstring> parts = TokeniseText(piece, L"%");
        SolutionCommand command;
        if (parts.size() < 2 || !ReadCommandNumber(parts[0], command.number)) continue;
        command.argument = parts[1];
        commands.push_back(std::move(command));
    }
    return commands;
}

bool ReadRegistryValueTarget(const std::wstring& argument, RegistryValueTarget& out) {
    const std::vector<std::wstring> parts = TokeniseText(argument, L":");
    if (parts.size() < 3) return false;
    out = {parts[0], parts[1], parts[2]};
    return true;
}
