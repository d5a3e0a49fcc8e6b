#include "klarwin/scan_records.h"

#include <cstdint>

namespace {

RootKeyHandle MakeRoot(std::uint32_t value) {
    // Predefined roots are 32-bit values widened with their sign, as the system does.
    return reinterpret_cast<RootKeyHandle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}

constexpr wchar_t kClassesRoot[] = L"HKEY_CLASSES_ROOT";
constexpr wchar_t kCurrentUser[] = L"HKEY_CURRENT_USER";
constexpr wchar_t kLocalMachine[] = L"HKEY_LOCAL_MACHINE";
constexpr wchar_t kUsers[] = L"HKEY_USERS";

const ScanSectionInfo kSections[kSectionCount] = {
    {L"ActiveX / OLE", kClassesRoot, true, kErrorValue},
    {L"Application Paths", kLocalMachine, true, kErrorValue},
    {L"Sound Files", kCurrentUser, false, kErrorValue},
    {L"Help Files", kLocalMachine, false, kErrorValue},
    {L"Windows Startup", kLocalMachine, false, kErrorValue},
    {L"System Software Settings", kLocalMachine, true, kErrorValue},
    {L"Shared Dll", kLocalMachine, false, kErrorValue},
    {L"Empty Registry Keys", kUsers, false, kErrorKey},
    {L"System Drivers", kLocalMachine, true, kErrorValue},
    {L"Uninstall Files", kLocalMachine, false, kErrorValue},
    {L"Windows Fonts", kLocalMachine, false, kErrorValue},
    {L"Program Shortcuts", kCurrentUser, false, kErrorFile},
};

}  // namespace

RootKeyHandle RootClassesRoot() { return MakeRoot(0x80000000u); }
RootKeyHandle RootCurrentUser() { return MakeRoot(0x80000001u); }
RootKeyHandle RootLocalMachine() { return MakeRoot(0x80000002u); }
RootKeyHandle RootUsers() { return MakeRoot(0x80000003u); }

RootKeyHandle RootKeyFromName(std::wstring_view name) {
    if (name == kLocalMachine) return RootLocalMachine();
    if (name == kCurrentUser) return RootCurrentUser();
    if (name == kClassesRoot) return RootClassesRoot();
    if (name == kUsers) return RootUsers();
    return RootLocalMachine();
}

std::wstring RootNameFromKey(RootKeyHandle root) {
    if (root == RootLocalMachine()) return kLocalMachine;
    if (root == RootCurrentUser()) return kCurrentUser;
    if (root == RootClassesRoot()) return kClassesRoot;
    if (root == RootUsers()) return kUsers;
    return std::wstring();
}

const wchar_t* ValueTypeName(int type) {
    if (type == kValueTypeDword) return L"REG_DWORD";
    if (type == kValueTypeExpandString) return L"REG_EXPAND_SZ";
    return L"REG_SZ";
}

int ValueTypeFromName(std::wstring_view name) {
    if (name == L"REG_SZ") return kValueTypeString;
    if (name == L"REG_DWORD") return kValueTypeDword;
    if (name == L"REG_EXPAND_SZ") return kValueTypeExpandString;
    return kValueTypeString;
}

const ScanSectionInfo* GetScanSectionInfo(int section) {
    if (section < 0 || section >= kSectionCount) return nullptr;
    return &kSections[section];
}

std::wstring GetScanSectionName(int section) {
    const ScanSectionInfo* info = GetScanSectionInfo(section);
    return info ? std::wstring(info->DisplayName) : std::wstring();
}

int SectionCounters::TotalFound() const {
    int total = 0;
    for (const SectionCounter& c : Sections) total += c.Found;
    return total;
}

int SectionCounters::TotalRepaired() const {
    int total = 0;
    for (const SectionCounter& c : Sections) total += c.Repaired;
    return total;
}

int SectionCounters::TotalIgnored() const {
    int total = 0;
    for (const SectionCounter& c : Sections) total += c.Ignored;
    return total;
}

bool IsItemInList(const CArray<CRegistryItem>& list, const CRegistryItem& item) {
    for (const CRegistryItem& entry : list)
        if (entry.Matches(item)) return true;
    return false;
}

// FNV-1a over the root value and both strings' code units, with a separator
// between the strings so that ("ab", "c") and ("a", "bc") differ.
std::size_t CIgnoreSet::Hash(RootKeyHandle root, std::wstring_view subKey, std::wstring_view valueName) {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](std::uint32_t unit) {
        h ^= unit;
        h *= 1099511628211ull;
    };
    mix(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(root)));
    for (wchar_t c : subKey) mix(static_cast<std::uint32_t>(c));
    mix(0x10000u);
    for (wchar_t c : valueName) mix(static_cast<std::uint32_t>(c));
    return static_cast<std::size_t>(h ^ (h >> 32));
}

void CIgnoreSet::Assign(const CArray<CRegistryItem>& list) {
    Clear();
    m_entries.reserve(static_cast<std::size_t>(list.GetSize()));
    m_index.reserve(static_cast<std::size_t>(list.GetSize()));
    for (const CRegistryItem& item : list) Add(item);
}

void CIgnoreSet::Add(const CRegistryItem& item) {
    if (Contains(item)) return;
    m_index.emplace(Hash(item.RootKey, item.SubKey, item.ValueName), m_entries.size());
    m_entries.push_back(Entry{item.RootKey, item.SubKey, item.ValueName});
}

void CIgnoreSet::Clear() {
    m_entries.clear();
    m_index.clear();
}

bool CIgnoreSet::Contains(RootKeyHandle root, std::wstring_view subKey, std::wstring_view valueName) const {
    if (m_entries.empty()) return false;
    auto range = m_index.equal_range(Hash(root, subKey, valueName));
    for (auto it = range.first; it != range.second; ++it) {
        const Entry& e = m_entries[it->second];
        if (e.Root == root && e.SubKey == subKey && e.ValueName == valueName) return true;
    }
    return false;
}
