#include "hand_over.h"

#include <cstring>

namespace mdhost {

namespace {
constexpr std::size_t kHeaderUnits = 3;
}

std::vector<std::uint16_t> EncodeHandOver(const HandOver& handOver) {
    std::vector<std::uint16_t> block(kHeaderUnits, 0);
    block[0] = handOver.addOnly ? 1 : 0;
    std::uint32_t count = 0;
    for (const std::wstring& name : handOver.files) {
        if (name.empty() || name.size() > kMaxHandOverName) continue;
        if ((block.size() + name.size() + 1) * sizeof(std::uint16_t) > kMaxHandOverBytes) break;
        for (wchar_t c : name) block.push_back(static_cast<std::uint16_t>(c));
        block.push_back(0);
        ++count;
    }
    block[1] = static_cast<std::uint16_t>(count & 0xFFFF);
    block[2] = static_cast<std::uint16_t>(count >> 16);
    return block;
}

bool DecodeHandOver(const void* data, std::size_t bytes, HandOver& out) {
    out = HandOver();
    if (!data || bytes % sizeof(std::uint16_t) != 0 || bytes > kMaxHandOverBytes ||
        bytes < kHeaderUnits * sizeof(std::uint16_t))
        return false;
    // Copied: the sender's block need not be aligned for 16-bit reads.
    std::vector<std::uint16_t> units(bytes / sizeof(std::uint16_t));
    std::memcpy(units.data(), data, bytes);
    if (units[0] > 1) return false;
    const std::uint32_t count = units[1] | (static_cast<std::uint32_t>(units[2]) << 16);
    if (count > (units.size() - kHeaderUnits) / 2) return false;   // each name takes two units at least
    if (units.size() > kHeaderUnits && units.back() != 0) return false;
    HandOver result;
    result.addOnly = units[0] == 1;
    std::size_t at = kHeaderUnits;
    while (at < units.size()) {
        std::size_t end = at;
        while (units[end] != 0) ++end;   // the last unit is zero
        if (end == at || end - at > kMaxHandOverName) return false;
        result.files.emplace_back(units.begin() + static_cast<std::ptrdiff_t>(at),
                                  units.begin() + static_cast<std::ptrdiff_t>(end));
        at = end + 1;
    }
    if (result.files.size() != count) return false;
    out = std::move(result);
    return true;
}

}  // namespace mdhost
