// The attribute number parsers against the C library on the same text: the
// integer as strtoll saturated to 32 bits, the float as strtod narrowed to float,
// both on the first 99 characters as ASCII (the "C" locale of a fuzzer process).
#include "xml/enxml.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two bytes per UTF-16 unit, so that text outside ASCII is exercised too.
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

    // The C library's view: text up to the first NUL or character outside ASCII.
    std::string narrow;
    for (wchar_t c : text) {
        if (c == 0 || static_cast<unsigned long>(c) > 0x7F)
            break;
        narrow.push_back(static_cast<char>(c));
    }

    const std::int32_t parsedInt = mdxml::ParseInt(text);
    errno = 0;
    long long reference = std::strtoll(narrow.c_str(), nullptr, 10);
    if (reference > std::numeric_limits<std::int32_t>::max())
        reference = std::numeric_limits<std::int32_t>::max();
    if (reference < std::numeric_limits<std::int32_t>::min())
        reference = std::numeric_limits<std::int32_t>::min();
    // strtoll also reads the digits after a NUL-free non-ASCII stop only up to
    // that stop, like ParseInt; a difference is a fault.
    if (parsedInt != reference)
        std::abort();

    const float parsedFloat = mdxml::ParseFloat(text);
    const std::string first99 = narrow.substr(0, 99);
    const float expected = static_cast<float>(std::strtod(first99.c_str(), nullptr));
    if (std::isnan(expected) != std::isnan(parsedFloat))
        std::abort();
    if (!std::isnan(expected) && std::memcmp(&expected, &parsedFloat, sizeof expected) != 0)
        std::abort();
    return 0;
}
