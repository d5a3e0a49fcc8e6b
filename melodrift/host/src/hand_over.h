// The files a second start of Melodrift hands to the copy already running, as
// the data of one WM_COPYDATA message (platform-neutral; the window side is
// single_instance.*).
//
// The data is UTF-16 in units of 16 bits: the flags (one unit: bit 0 "add
// only"), the number of names (two units, low first), then each name ended by
// a zero unit. Nothing may follow the last name. Names are 1 to 32,767 units
// long; the whole block is at most kMaxHandOverBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mdhost {

// WM_COPYDATA's dwData for a hand-over ("MDH1").
constexpr std::uint32_t kHandOverTag = 0x4D444831;
constexpr std::size_t kMaxHandOverBytes = 1024 * 1024;
constexpr std::size_t kMaxHandOverName = 32767;

struct HandOver {
    bool addOnly = false;                // "/add": the files join the playlist, nothing starts
    std::vector<std::wstring> files;     // none: the running copy comes to the front
};

// The data block; names that do not fit within the bound (and empty or
// over-long names) are left out.
std::vector<std::uint16_t> EncodeHandOver(const HandOver& handOver);

// False (and `out` emptied) for anything but a well-formed block: an odd
// size, a size beyond the bound or below the header, a missing terminator, an
// empty or over-long name, or a count that differs from the names present.
bool DecodeHandOver(const void* data, std::size_t bytes, HandOver& out);

}  // namespace mdhost
