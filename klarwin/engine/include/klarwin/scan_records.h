// The vocabulary of Klarwin's registry scan: the twelve scan sections, the
// registry location record (CRegistryItem), the finding record (CError), their
// lists, the per-section counters and the ignore-list lookup.
//
// Platform-neutral: no Windows header. A root key is kept as the same pointer
// type as the system's HKEY (`struct HKEY__*`), so on Windows the field passes
// straight to the registry functions; elsewhere it is an opaque value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fw/array.h"

struct HKEY__;
using RootKeyHandle = HKEY__*;

// The four predefined roots the engine deals with, with the values the system
// gives HKEY_CLASSES_ROOT ... HKEY_USERS.
RootKeyHandle RootClassesRoot();
RootKeyHandle RootCurrentUser();
RootKeyHandle RootLocalMachine();
RootKeyHandle RootUsers();

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS"
// give their root (exact comparison); any other text gives HKEY_LOCAL_MACHINE.
RootKeyHandle RootKeyFromName(std::wstring_view name);
// The name of one of the four roots; empty for any other handle.
std::wstring RootNameFromKey(RootKeyHandle root);

// Registry value types as the records use them.
constexpr int kValueTypeNone = 0;
constexpr int kValueTypeString = 1;        // REG_SZ
constexpr int kValueTypeExpandString = 2;  // REG_EXPAND_SZ
constexpr int kValueTypeDword = 4;         // REG_DWORD

// 4 gives "REG_DWORD", 2 "REG_EXPAND_SZ", anything else "REG_SZ".
const wchar_t* ValueTypeName(int type);
// "REG_SZ" gives 1, "REG_DWORD" 4, "REG_EXPAND_SZ" 2, anything else 1.
int ValueTypeFromName(std::wstring_view name);

// ---------------------------------------------------------------------------
// Scan sections

constexpr int kSectionCount = 12;

enum ScanSection : int {
    kSectionActiveX = 0,
    kSectionAppPaths = 1,
    kSectionSoundFiles = 2,
    kSectionHelpFiles = 3,
    kSectionStartup = 4,
    kSectionSnapIns = 5,
    kSectionSharedDlls = 6,
    kSectionEmptyKeys = 7,
    kSectionDrivers = 8,
    kSectionUninstall = 9,
    kSectionFonts = 10,
    kSectionShortcuts = 11,
};

// Error types: what a finding concerns.
constexpr int kErrorFile = 0;   // a file (a broken shortcut)
constexpr int kErrorValue = 1;  // a registry value
constexpr int kErrorKey = 2;    // a registry key

struct ScanSectionInfo {
    const wchar_t* DisplayName;
    const wchar_t* RootName;  // of the first root walked (section 4 walks a second one)
    bool Protected;           // repairs put these locations on the ignore list instead
    int ErrorType;
};

// The fixed description of a section; null outside 0-11.
const ScanSectionInfo* GetScanSectionInfo(int section);
// The display name; empty outside 0-11.
std::wstring GetScanSectionName(int section);

// ---------------------------------------------------------------------------
// Records

// One registry location with its value; copied by value everywhere.
struct CRegistryItem {
    int ValueType = 0;
    RootKeyHandle RootKey = nullptr;
    std::wstring RootName;
    std::wstring SubKey;     // below the root, no leading or trailing backslash
    std::wstring ValueName;  // empty: the key's default value
    std::wstring ValueData;  // text as read (unexpanded), decimal for REG_DWORD
    int Tag = 0;             // carried unchanged through the files

    // The ignore-list rule: same root handle, same subkey and same value name,
    // both compared exactly (case-sensitive). Nothing else is compared.
    bool Matches(const CRegistryItem& other) const {
        return RootKey == other.RootKey && SubKey == other.SubKey && ValueName == other.ValueName;
    }

    friend bool operator==(const CRegistryItem&, const CRegistryItem&) = default;
};

// One finding of a scan.
struct CError {
    int ErrorType = 0;
    int Section = 0;
    std::wstring FilePath;
    std::wstring Reason;
    std::wstring Title;
    bool Protected = false;
    CRegistryItem Item;

    friend bool operator==(const CError&, const CError&) = default;
};

class CErrorListEx : public CArray<CError> {};
class CRegistryItemListEx : public CArray<CRegistryItem> {};
class CStringArrayEx : public CArray<std::wstring> {};

// ---------------------------------------------------------------------------
// Counters

struct SectionCounter {
    std::int32_t Found = 0;     // reported by the scan or reloaded as unresolved
    std::int32_t Repaired = 0;  // repaired (or found gone) by the repair
    std::int32_t Ignored = 0;   // left unrepaired (by the user or the repair) and kept as unresolved
};

struct SectionCounters {
    SectionCounter Sections[kSectionCount];

    SectionCounter& operator[](int section) { return Sections[section]; }
    const SectionCounter& operator[](int section) const { return Sections[section]; }
    void Reset() {
        for (SectionCounter& c : Sections) c = SectionCounter();
    }
    int TotalFound() const;
    int TotalRepaired() const;
    int TotalIgnored() const;
};

// ---------------------------------------------------------------------------
// Ignore list

// True when some entry of the list matches the item (CRegistryItem::Matches),
// looking at the entries in order. Linear: for one-off questions.
bool IsItemInList(const CArray<CRegistryItem>& list, const CRegistryItem& item);

// The same question answered in constant time: an index over a copy of the
// list's locations, built once (for a scan) and then only read.
class CIgnoreSet {
public:
    CIgnoreSet() = default;
    explicit CIgnoreSet(const CArray<CRegistryItem>& list) { Assign(list); }

    void Assign(const CArray<CRegistryItem>& list);
    void Add(const CRegistryItem& item);
    void Clear();
    bool Contains(const CRegistryItem& item) const {
        return Contains(item.RootKey, item.SubKey, item.ValueName);
    }
    bool Contains(RootKeyHandle root, std::wstring_view subKey, std::wstring_view valueName) const;
    std::size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        RootKeyHandle Root;
        std::wstring SubKey;
        std::wstring ValueName;
    };
    static std::size_t Hash(RootKeyHandle root, std::wstring_view subKey, std::wstring_view valueName);

    std::vector<Entry> m_entries;
    std::unordered_multimap<std::size_t, std::size_t> m_index;  // hash -> position in m_entries
};
