// MP4 (M4A): the sound track's length and the iTunes item list.
#include "tag_readers.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

namespace mediatags::detail {

namespace {

constexpr int kMaxAtoms = 4096;                         // MP4 atoms visited
constexpr int kMaxAtomDepth = 12;

struct Atom {
    char type[5] = {};
    std::uint64_t body = 0;   // where its content starts
    std::uint64_t end = 0;    // where it ends
};

struct Mp4State {
    int atoms = 0;
    bool damaged = false;
    std::uint32_t movieScale = 0;
    std::uint64_t movieDuration = 0;
    // The sound track (the first track whose handler is "soun").
    bool inSound = false;
    bool haveSound = false;
    std::uint32_t mediaScale = 0;
    std::uint64_t mediaDuration = 0;
    bool haveEdit = false;
    std::uint64_t editDuration = 0;   // movie time scale
    std::uint32_t sampleRate = 0;
    // The current track, until its handler is known.
    std::uint32_t trackScale = 0;
    std::uint64_t trackDuration = 0;
    bool trackEdit = false;
    std::uint64_t trackEditDuration = 0;
    std::uint32_t trackRate = 0;
    // iTunes' gapless item: the encoder's delay, its padding and the sample count.
    bool haveSmpb = false;
    std::uint64_t smpbDelay = 0;
    std::uint64_t smpbCount = 0;
};

// The atoms between `from` and `to`; false (and damaged) when one claims more than its parent holds.
// An atom that runs past the end of the file (one cut short) ends there: what it holds is read.
bool NextAtom(ByteSource& source, std::uint64_t pos, std::uint64_t to, Atom& atom, Mp4State& state)
{
    if (pos > to || to - pos < 8) return false;
    const std::vector<unsigned char> h = ReadAt(source, pos, 16);
    if (h.size() < 8) {
        state.damaged = true;
        return false;
    }
    std::uint64_t size = Be32(h.data());
    std::uint64_t header = 8;
    if (size == 1) {
        if (h.size() < 16) {
            state.damaged = true;
            return false;
        }
        size = Be64(&h[8]);
        header = 16;
    } else if (size == 0) {
        size = to - pos;   // to the end of its parent
    }
    if (size < header) {
        state.damaged = true;
        return false;
    }
    if (size > to - pos) {
        state.damaged = true;
        if (to < source.Size()) return false;
        size = to - pos;
    }
    std::memcpy(atom.type, h.data() + 4, 4);
    atom.body = pos + header;
    atom.end = pos + size;
    return true;
}

// " 00000000 00000840 0000037C 0000000000040D44 ...": hexadecimal fields, the
// second the encoder's delay, the fourth the sample count. False unless both
// are there and whole.
bool ParseSmpb(std::string_view text, std::uint64_t& delay, std::uint64_t& count)
{
    std::uint64_t fields[4] = {};
    int field = 0;
    std::size_t at = 0;
    while (field < 4) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\0')) ++at;
        std::size_t digits = 0;
        std::uint64_t value = 0;
        for (; at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])); ++at, ++digits) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
            value = (value << 4) | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        if (digits == 0 || digits > 16 || (at < text.size() && text[at] != ' ' && text[at] != '\0')) return false;
        fields[field++] = value;
    }
    if (fields[3] == 0) return false;
    delay = fields[1];
    count = fields[3];
    return true;
}

// A freeform item ("----": its "mean", "name" and "data" atoms); only iTunes'
// "iTunSMPB" is read.
void ReadFreeformItem(ByteSource& source, const Atom& item, Mp4State& state)
{
    std::string mean, name;
    std::vector<unsigned char> value;
    std::uint64_t pos = item.body;
    Atom part;
    while (NextAtom(source, pos, item.end, part, state)) {
        const std::string_view type(part.type, 4);
        const std::uint64_t length = part.end - part.body;
        // Each a full atom (version and flags); "data" has a locale too.
        const std::uint64_t skip = type == "data" ? 8 : 4;
        if (length >= skip && length - skip <= 256 && (type == "mean" || type == "name" || type == "data")) {
            const std::vector<unsigned char> bytes = ReadAt(source, part.body + skip, static_cast<std::size_t>(length - skip));
            if (type == "mean") mean.assign(bytes.begin(), bytes.end());
            if (type == "name") name.assign(bytes.begin(), bytes.end());
            if (type == "data" && value.empty()) value = bytes;
        }
        pos = part.end;
    }
    std::uint64_t delay = 0, count = 0;
    if (mean == "com.apple.iTunes" && name == "iTunSMPB" && !state.haveSmpb &&
        ParseSmpb(std::string_view(reinterpret_cast<const char*>(value.data()), value.size()), delay, count)) {
        state.haveSmpb = true;
        state.smpbDelay = delay;
        state.smpbCount = count;
    }
}

// The text or number of an item of the iTunes list ("©nam" holding a "data"
// atom), or a QuickTime text item of "udta" ("©nam" holding text records of a
// 16-bit length and a 16-bit language each, the first of which is read).
void ReadMp4Item(ByteSource& source, const Atom& item, bool quickTime, MediaTags& info, Mp4State& state)
{
    std::vector<unsigned char> value;
    const std::vector<unsigned char> head = ReadAt(source, item.body, 8);
    if (head.size() == 8 && std::memcmp(&head[4], "data", 4) == 0) {
        Atom data;
        if (!NextAtom(source, item.body, item.end, data, state) || data.end - data.body < 8) return;
        value = ReadAt(source, data.body + 8, static_cast<std::size_t>(std::min<std::uint64_t>(data.end - data.body - 8, kMaxItemBytes)));
    } else if (quickTime && head.size() >= 4 && item.end - item.body >= 4) {
        const std::uint64_t length = (head[0] << 8) | head[1];
        if (length > item.end - item.body - 4) return;
        value = ReadAt(source, item.body + 4, static_cast<std::size_t>(length));
    } else {
        return;
    }
    const std::string_view type(item.type, 4);
    const auto text = [&] { return Trim(Utf8OrLatin1(value.data(), value.size())); };
    if (type == "\xA9nam" && info.title.empty()) info.title = text();
    if (type == "\xA9" "ART" && info.artist.empty()) info.artist = text();
    if (type == "\xA9" "alb" && info.album.empty()) info.album = text();
    if (type == "trkn" && info.track == 0 && value.size() >= 4) info.track = (value[2] << 8) | value[3];
}

void WalkMp4(ByteSource& source, std::uint64_t from, std::uint64_t to, int depth, std::string_view parent, MediaTags& info,
             Mp4State& state)
{
    if (depth > kMaxAtomDepth) return;
    std::uint64_t pos = from;
    Atom atom;
    while (state.atoms < kMaxAtoms && NextAtom(source, pos, to, atom, state)) {
        ++state.atoms;
        const std::string_view type(atom.type, 4);
        const std::uint64_t length = atom.end - atom.body;
        if (type == "moov" || type == "mdia" || type == "minf" || type == "stbl" || type == "edts" || type == "udta" ||
            type == "ilst") {
            WalkMp4(source, atom.body, atom.end, depth + 1, type, info, state);
        } else if (type == "trak") {
            state.inSound = false;
            state.trackScale = 0;
            state.trackEdit = false;
            state.trackRate = 0;
            WalkMp4(source, atom.body, atom.end, depth + 1, type, info, state);
            if (state.inSound && !state.haveSound) {
                state.haveSound = true;
                state.mediaScale = state.trackScale;
                state.mediaDuration = state.trackDuration;
                state.haveEdit = state.trackEdit;
                state.editDuration = state.trackEditDuration;
                state.sampleRate = state.trackRate;
            }
            state.inSound = false;
        } else if (type == "meta") {
            // A full atom: version and flags before its children (QuickTime's has none).
            const std::vector<unsigned char> peek = ReadAt(source, atom.body + 4, 4);
            const bool full = !(length >= 8 && peek.size() == 4 && std::memcmp(peek.data(), "hdlr", 4) == 0);
            if (!full || length >= 4) WalkMp4(source, atom.body + (full ? 4 : 0), atom.end, depth + 1, type, info, state);
        } else if (type == "mvhd" || type == "mdhd") {
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 32);
            std::uint32_t scale = 0;
            std::uint64_t duration = 0;
            if (h.size() >= 20 && h[0] == 0) {
                scale = Be32(&h[12]);
                duration = Be32(&h[16]);
            } else if (h.size() >= 32 && h[0] == 1) {
                scale = Be32(&h[20]);
                duration = Be64(&h[24]);
            }
            if (type == "mvhd") {
                state.movieScale = scale;
                state.movieDuration = duration;
            } else {
                state.trackScale = scale;
                state.trackDuration = duration;
            }
        } else if (type == "hdlr") {
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 12);
            if (h.size() == 12 && std::memcmp(&h[8], "soun", 4) == 0) state.inSound = true;
        } else if (type == "elst") {
            // One edit that plays the media from some time on: the length without the encoder's delay and padding.
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 28);
            if (h.size() >= 8 && Be32(&h[4]) >= 1) {
                if (h[0] == 0 && h.size() >= 16) {
                    state.trackEdit = Be32(&h[4]) == 1 && Be32(&h[12]) != 0xFFFFFFFFu;
                    state.trackEditDuration = Be32(&h[8]);
                } else if (h[0] == 1 && h.size() >= 28) {
                    state.trackEdit = Be32(&h[4]) == 1 && Be64(&h[16]) != ~0ull;
                    state.trackEditDuration = Be64(&h[8]);
                }
            }
        } else if (type == "stsd") {
            // The first sample description: a sound entry holds its rate as 16.16 at its offset 32.
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 8 + 36);
            if (h.size() >= 44) state.trackRate = Be32(&h[8 + 32]) >> 16;
        } else if (type == "----" && parent == "ilst") {
            ReadFreeformItem(source, atom, state);
        } else if (depth >= 1 && length > 0 && (atom.type[0] == '\xA9' || type == "trkn")) {
            ReadMp4Item(source, atom, parent == "udta", info, state);
        }
        pos = atom.end;
    }
}

}  // namespace

void ReadMp4(ByteSource& source, MediaTags& info)
{
    Mp4State state;
    WalkMp4(source, 0, source.Size(), 0, "", info, state);
    if (state.damaged || state.movieScale == 0) info.damaged = true;
    if (state.haveSound && state.mediaScale > 0) {
        const int rate = static_cast<int>(state.sampleRate ? state.sampleRate : state.mediaScale);
        if (state.haveEdit && state.movieScale > 0) {
            SetLength(info, state.editDuration * static_cast<std::uint64_t>(rate) / state.movieScale, rate);
        } else {
            // Without an edit list, iTunes' item tells where the sound starts
            // and how long it is, if it fits in the track.
            const std::uint64_t media = state.mediaDuration * static_cast<std::uint64_t>(rate) / state.mediaScale;
            if (state.haveSmpb && state.smpbDelay < media && state.smpbCount <= media - state.smpbDelay) {
                SetLength(info, state.smpbCount, rate);
                info.leadFrames = static_cast<std::int64_t>(state.smpbDelay);
            } else {
                SetLength(info, media, rate);
            }
        }
    } else if (state.movieScale > 0) {
        info.durationMs = static_cast<std::int64_t>(state.movieDuration * 1000 / state.movieScale);
    }
    if (!state.haveSound) info.damaged = info.noSound = true;
}

}  // namespace mediatags::detail
