#include "klarwin/ui/gif_frames.h"

#include <cstring>

namespace kwui {
namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Byte(std::uint8_t& b) {
        if (m_pos >= m_size) return false;
        b = m_data[m_pos++];
        return true;
    }
    bool Word(int& w) {
        if (m_size - m_pos < 2) return false;
        w = m_data[m_pos] | (m_data[m_pos + 1] << 8);
        m_pos += 2;
        return true;
    }
    bool Bytes(std::size_t n, const std::uint8_t*& out) {
        if (m_size - m_pos < n) return false;
        out = m_data + m_pos;
        m_pos += n;
        return true;
    }
    std::size_t Pos() const { return m_pos; }
    const std::uint8_t* At(std::size_t pos) const { return m_data + pos; }

    // Skips a sequence of data sub-blocks up to and including its empty
    // terminator; false when the data ends first.
    bool SkipSubBlocks() {
        for (;;) {
            std::uint8_t len = 0;
            if (!Byte(len)) return false;
            if (len == 0) return true;
            const std::uint8_t* ignored = nullptr;
            if (!Bytes(len, ignored)) return false;
        }
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct GraphicControl {
    bool present = false;
    GifDisposal disposal = GifDisposal::None;
    bool transparent = false;
    int transparentIndex = 0;
    int delayCs = 0;
};

void Put16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

// A complete single-image GIF: the frame's colour table as the global one,
// its graphic control (without disposal) and its image data as they were.
std::vector<std::uint8_t> BuildFrameFile(int width, int height, const std::uint8_t* table, int tableBits,
                                         const GraphicControl& gce, bool interlaced, const std::uint8_t* image,
                                         std::size_t imageSize) {
    std::vector<std::uint8_t> f;
    std::size_t tableBytes = 3u * (1u << (tableBits + 1));
    f.reserve(13 + tableBytes + 8 + 10 + imageSize + 1);
    static const char kHeader[] = "GIF89a";
    f.insert(f.end(), kHeader, kHeader + 6);
    Put16(f, width);
    Put16(f, height);
    f.push_back(static_cast<std::uint8_t>(0x80 | 0x70 | tableBits));  // global table, 8-bit colour resolution
    f.push_back(0);                                                   // background colour index
    f.push_back(0);                                                   // pixel aspect ratio
    if (table) {
        f.insert(f.end(), table, table + tableBytes);
    } else {
        // A frame without any colour table: shades of grey.
        int entries = 1 << (tableBits + 1);
        for (int i = 0; i < entries; ++i) {
            auto v = static_cast<std::uint8_t>(entries > 1 ? i * 255 / (entries - 1) : 0);
            f.insert(f.end(), {v, v, v});
        }
    }
    if (gce.present) {
        f.insert(f.end(), {0x21, 0xF9, 0x04, static_cast<std::uint8_t>(gce.transparent ? 1 : 0)});
        Put16(f, gce.delayCs);
        f.push_back(static_cast<std::uint8_t>(gce.transparentIndex));
        f.push_back(0);
    }
    f.push_back(0x2C);
    Put16(f, 0);
    Put16(f, 0);
    Put16(f, width);
    Put16(f, height);
    f.push_back(static_cast<std::uint8_t>(interlaced ? 0x40 : 0));
    f.insert(f.end(), image, image + imageSize);
    f.push_back(0x3B);
    return f;
}

// An application extension; the looping one ("NETSCAPE2.0" or
// "ANIMEXTS1.0") carries the sub-block {1, count low, count high}.
bool ReadApplicationExtension(Reader& r, int& loopCount) {
    std::uint8_t len = 0;
    const std::uint8_t* id = nullptr;
    if (!r.Byte(len) || !r.Bytes(len, id)) return false;
    if (len == 0) return true;
    bool looping =
        len == 11 && (std::memcmp(id, "NETSCAPE2.0", 11) == 0 || std::memcmp(id, "ANIMEXTS1.0", 11) == 0);
    for (;;) {
        std::uint8_t n = 0;
        const std::uint8_t* sub = nullptr;
        if (!r.Byte(n)) return false;
        if (n == 0) return true;
        if (!r.Bytes(n, sub)) return false;
        if (looping && n >= 3 && sub[0] == 1) loopCount = sub[1] | (sub[2] << 8);
    }
}

}  // namespace

bool SplitGifFrames(const std::uint8_t* data, std::size_t size, GifAnimation& out) {
    out = GifAnimation();
    if (!data || size < 13 || size > kMaxGifFileSize) return false;
    if (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0) return false;

    Reader r(data, size);
    const std::uint8_t* skipped = nullptr;
    r.Bytes(6, skipped);
    int screenW = 0, screenH = 0;
    std::uint8_t packed = 0, background = 0, aspect = 0;
    if (!r.Word(screenW) || !r.Word(screenH) || !r.Byte(packed) || !r.Byte(background) || !r.Byte(aspect))
        return false;
    const std::uint8_t* globalTable = nullptr;
    int globalBits = 0;
    if (packed & 0x80) {
        globalBits = packed & 7;
        if (!r.Bytes(3u * (1u << (globalBits + 1)), globalTable)) return false;
    }

    GifAnimation anim;
    anim.width = screenW;
    anim.height = screenH;
    GraphicControl gce;
    for (;;) {
        std::uint8_t block = 0;
        if (!r.Byte(block) || block == 0x3B) break;
        if (block == 0x21) {
            std::uint8_t label = 0;
            if (!r.Byte(label)) break;
            if (label == 0xF9) {
                std::uint8_t len = 0;
                const std::uint8_t* body = nullptr;
                if (!r.Byte(len) || !r.Bytes(len, body)) break;
                if (len >= 4) {
                    gce.present = true;
                    gce.disposal = static_cast<GifDisposal>((body[0] >> 2) & 7);
                    if (static_cast<int>(gce.disposal) > 3) gce.disposal = GifDisposal::None;
                    gce.transparent = (body[0] & 1) != 0;
                    gce.delayCs = body[1] | (body[2] << 8);
                    gce.transparentIndex = body[3];
                }
                if (len != 0 && !r.SkipSubBlocks()) break;
            } else if (label == 0xFF) {
                if (!ReadApplicationExtension(r, anim.loopCount)) break;
            } else {
                if (!r.SkipSubBlocks()) break;
            }
        } else if (block == 0x2C) {
            int left = 0, top = 0, w = 0, h = 0;
            std::uint8_t imagePacked = 0;
            if (!r.Word(left) || !r.Word(top) || !r.Word(w) || !r.Word(h) || !r.Byte(imagePacked)) break;
            const std::uint8_t* table = globalTable;
            int tableBits = globalBits;
            if (imagePacked & 0x80) {
                tableBits = imagePacked & 7;
                if (!r.Bytes(3u * (1u << (tableBits + 1)), table)) break;
            }
            std::size_t imageStart = r.Pos();
            std::uint8_t minCodeSize = 0;
            if (!r.Byte(minCodeSize) || minCodeSize < 1 || minCodeSize > 11) break;
            if (!r.SkipSubBlocks()) break;  // a frame cut short is dropped
            std::size_t imageSize = r.Pos() - imageStart;
            if (!table) tableBits = minCodeSize > 8 ? 7 : (minCodeSize < 2 ? 0 : minCodeSize - 1);
            if (w > 0 && h > 0) {
                GifFrame frame;
                frame.left = left;
                frame.top = top;
                frame.width = w;
                frame.height = h;
                frame.delayMs = gce.delayCs * 10;
                frame.disposal = gce.disposal;
                frame.transparent = gce.transparent;
                frame.transparentIndex = gce.transparentIndex;
                frame.interlaced = (imagePacked & 0x40) != 0;
                frame.file = BuildFrameFile(w, h, table, tableBits, gce, frame.interlaced, r.At(imageStart),
                                            imageSize);
                anim.frames.push_back(std::move(frame));
                if (anim.frames.size() >= kMaxGifFrames) break;
            }
            gce = GraphicControl();
        } else {
            break;  // not a GIF block: the rest is unreadable
        }
    }
    if (anim.frames.empty()) return false;
    out = std::move(anim);
    return true;
}

int GifFrameDelay(const GifFrame& frame, int fallbackMs) {
    return frame.delayMs > 10 ? frame.delayMs : fallbackMs;
}

}  // namespace kwui
