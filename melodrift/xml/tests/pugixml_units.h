// pugixml keeps text as UTF-8; enXml as UTF-16 code units, one per wchar_t.
// For the checks against pugixml in tests, fuzzers and the benchmark.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace mdxml_test {

inline std::wstring Utf16Units(const char* utf8) {
    std::wstring out;
    for (const wchar_t c : pugi::as_wide(utf8)) {
        const unsigned long code = static_cast<unsigned long>(c);
        if (code > 0xFFFF) {
            out.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(code));
        }
    }
    return out;
}

}  // namespace mdxml_test
