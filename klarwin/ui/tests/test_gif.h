// Writes small GIF files for the tests: frames of palette indexes with their
// place, delay, disposal and transparency. The image data is LZW-coded the
// simple way (a clear code before the code size would grow), which every
// reader decodes. Platform-neutral.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testgif {

struct Rgb {
    std::uint8_t r, g, b;
};

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // palette indexes, row by row
    int delayCs = 10;
    int disposal = 0;
    int transparentIndex = -1;  // -1: none
    std::vector<Rgb> localTable;  // empty: the global table
    bool withControl = true;      // write a graphic control extension
};

// A frame of one palette index.
inline Frame Solid(int left, int top, int width, int height, std::uint8_t index) {
    Frame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels.assign(static_cast<std::size_t>(width) * height, index);
    return f;
}

namespace detail {

inline void Put16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

// Bits of the table size field for a table of `entries` (a power of two, 2-256).
inline int SizeBits(std::size_t entries) {
    int bits = 0;
    while ((2u << bits) < entries) ++bits;
    return bits;
}

inline void PutTable(std::vector<std::uint8_t>& out, const std::vector<Rgb>& table) {
    std::size_t entries = 2u << SizeBits(table.size());
    for (std::size_t i = 0; i < entries; ++i) {
        Rgb c = i < table.size() ? table[i] : Rgb{0, 0, 0};
        out.insert(out.end(), {c.r, c.g, c.b});
    }
}

// LZW data of the pixels with code size `minCode`: literal codes only, with a
// clear code whenever the decoder's table would reach the next code width.
inline std::vector<std::uint8_t> Lzw(const std::vector<std::uint8_t>& pixels, int minCode) {
    const int clear = 1 << minCode, end = clear + 1, width = minCode + 1;
    const int literalsPerClear = (1 << width) - clear - 2 - 1;
    std::vector<std::uint8_t> bytes;
    std::uint32_t acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= static_cast<std::uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            bytes.push_back(static_cast<std::uint8_t>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    int sinceClear = literalsPerClear;
    for (std::uint8_t p : pixels) {
        if (sinceClear >= literalsPerClear) {
            put(clear);
            sinceClear = 0;
        }
        put(p);
        ++sinceClear;
    }
    put(end);
    if (bits > 0) bytes.push_back(static_cast<std::uint8_t>(acc & 0xFF));
    return bytes;
}

}  // namespace detail

// A whole GIF file. loopCount >= 0 writes the looping extension.
inline std::vector<std::uint8_t> Write(int width, int height, const std::vector<Rgb>& globalTable,
                                       const std::vector<Frame>& frames, int loopCount = 0) {
    using namespace detail;
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, width);
    Put16(out, height);
    if (globalTable.empty()) {
        out.insert(out.end(), {0x70, 0, 0});
    } else {
        out.insert(out.end(), {static_cast<std::uint8_t>(0xF0 | SizeBits(globalTable.size())), 0, 0});
        PutTable(out, globalTable);
    }
    if (loopCount >= 0) {
        static const char kId[] = "NETSCAPE2.0";
        out.insert(out.end(), {0x21, 0xFF, 11});
        out.insert(out.end(), kId, kId + 11);
        out.insert(out.end(), {3, 1});
        Put16(out, loopCount);
        out.push_back(0);
    }
    for (const Frame& f : frames) {
        if (f.withControl) {
            out.insert(out.end(), {0x21, 0xF9, 4});
            out.push_back(static_cast<std::uint8_t>(((f.disposal & 7) << 2) | (f.transparentIndex >= 0 ? 1 : 0)));
            Put16(out, f.delayCs);
            out.push_back(static_cast<std::uint8_t>(f.transparentIndex >= 0 ? f.transparentIndex : 0));
            out.push_back(0);
        }
        out.push_back(0x2C);
        Put16(out, f.left);
        Put16(out, f.top);
        Put16(out, f.width);
        Put16(out, f.height);
        if (f.localTable.empty()) {
            out.push_back(0);
        } else {
            out.push_back(static_cast<std::uint8_t>(0x80 | SizeBits(f.localTable.size())));
            PutTable(out, f.localTable);
        }
        const int minCode = 2;
        out.push_back(static_cast<std::uint8_t>(minCode));
        std::vector<std::uint8_t> data = Lzw(f.pixels, minCode);
        for (std::size_t i = 0; i < data.size(); i += 255) {
            std::size_t n = std::min<std::size_t>(255, data.size() - i);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                       data.begin() + static_cast<std::ptrdiff_t>(i + n));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace testgif
