// Arbitrary bytes, read as UTF-16LE, as the solution commands the log service
// sends: the reader must neither crash nor keep a command it should refuse.
// Every command kept has a number from 1 to 6 and an argument free of both
// separators; written back as text, the commands read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "klarwin/online/solution_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

    const std::vector<SolutionCommand> commands = ReadSolutionCommands(text);
    Check(commands.size() <= text.size() / 3 + 1);
    std::wstring rebuilt;
    for (const SolutionCommand& command : commands) {
        Check(command.number >= kFirstSolutionCommand && command.number <= kLastSolutionCommand);
        Check(!command.argument.empty());
        Check(command.argument.find_first_of(L";%") == std::wstring::npos);
        rebuilt += std::to_wstring(command.number) + L"%" + command.argument + L";";

        RegistryValueTarget target;
        if (ReadRegistryValueTarget(command.argument, target)) {
            Check(!target.root.empty() && !target.subkey.empty() && !target.value.empty());
            Check((target.root + target.subkey + target.value).find(L':') == std::wstring::npos);
        }
    }
    Check(ReadSolutionCommands(rebuilt) == commands);

    // A number is read only from digits (and the blanks around them).
    int number = 0;
    const std::wstring head = text.substr(0, text.size() % 7);
    if (ReadCommandNumber(head, number)) {
        Check(number >= kFirstSolutionCommand && number <= kLastSolutionCommand);
        Check(head.find_first_not_of(L"0123456789 \t\r\n") == std::wstring::npos);
    }
    return 0;
}
