#include "fw/strutil.h"
#include <cwchar>
#include <vector>

namespace fw {

std::wstring FormatV(const wchar_t* format, std::va_list args) {
    std::vector<wchar_t> buf(256);
    for (;;) {
        std::va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buf.data(), buf.size(), format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<std::size_t>(n) < buf.size())
            return std::wstring(buf.data(), static_cast<std::size_t>(n));
        if (buf.size() > (1u << 24))
            return std::wstring();
        buf.resize(buf.size() * 2);
    }
}

std::wstring Format(const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::wstring s = FormatV(format, args);
    va_end(args);
    return s;
}

}  // namespace fw
