// Arbitrary bytes as "fileDB.dat": the list read must hold only non-empty
// lines without line ends or NULs, and written back with CR LF it must read
// back the same.
#include "library/library_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const library::FileList files = library::ParseFileList(bytes);
    std::string again = "\xFF\xFE";
    for (const std::wstring& line : files) {
        if (line.empty()) std::abort();
        for (wchar_t c : line) {
            if (c == L'\r' || c == L'\n' || c == 0 || static_cast<unsigned long>(c) > 0xFFFF) std::abort();
            again.push_back(static_cast<char>(c & 0xFF));
            again.push_back(static_cast<char>((c >> 8) & 0xFF));
        }
        again += std::string("\r\0\n\0", 4);
    }
    if (library::ParseFileList(again) != files) std::abort();
    return 0;
}
