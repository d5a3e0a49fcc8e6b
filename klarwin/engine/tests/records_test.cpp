// Sections, root and type names, the ignore-list rule and its constant-time index.
#include <gtest/gtest.h>

#include <random>

#include "klarwin/scan_records.h"

TEST(KlarwinRecords, SectionTableAndNames) {
    EXPECT_EQ(GetScanSectionName(0), L"ActiveX / OLE");
    EXPECT_EQ(GetScanSectionName(7), L"Empty Registry Keys");
    EXPECT_EQ(GetScanSectionName(11), L"Program Shortcuts");
    EXPECT_EQ(GetScanSectionName(12), L"");
    EXPECT_EQ(GetScanSectionName(-1), L"");
    EXPECT_EQ(GetScanSectionInfo(12), nullptr);

    // Protected sections are exactly 0, 1, 5 and 8.
    for (int s = 0; s < kSectionCount; ++s)
        EXPECT_EQ(GetScanSectionInfo(s)->Protected, s == 0 || s == 1 || s == 5 || s == 8) << s;
    EXPECT_EQ(GetScanSectionInfo(kSectionEmptyKeys)->ErrorType, kErrorKey);
    EXPECT_EQ(GetScanSectionInfo(kSectionShortcuts)->ErrorType, kErrorFile);
    EXPECT_STREQ(GetScanSectionInfo(kSectionShortcuts)->RootName, L"HKEY_CURRENT_USER");
    EXPECT_STREQ(GetScanSectionInfo(kSectionEmptyKeys)->RootName, L"HKEY_USERS");
}

TEST(KlarwinRecords, RootAndTypeNames) {
    EXPECT_EQ(RootKeyFromName(L"HKEY_CLASSES_ROOT"), RootClassesRoot());
    EXPECT_EQ(RootKeyFromName(L"HKEY_CURRENT_USER"), RootCurrentUser());
    EXPECT_EQ(RootKeyFromName(L"HKEY_USERS"), RootUsers());
    EXPECT_EQ(RootKeyFromName(L"HKEY_LOCAL_MACHINE"), RootLocalMachine());
    // Exact comparison; anything else is the local machine.
    EXPECT_EQ(RootKeyFromName(L"hkey_users"), RootLocalMachine());
    EXPECT_EQ(RootKeyFromName(L"HKCU"), RootLocalMachine());
    EXPECT_EQ(RootKeyFromName(L""), RootLocalMachine());
    for (RootKeyHandle r : {RootClassesRoot(), RootCurrentUser(), RootLocalMachine(), RootUsers()})
        EXPECT_EQ(RootKeyFromName(RootNameFromKey(r)), r);
    EXPECT_EQ(RootNameFromKey(nullptr), L"");

    EXPECT_STREQ(ValueTypeName(4), L"REG_DWORD");
    EXPECT_STREQ(ValueTypeName(2), L"REG_EXPAND_SZ");
    for (int t : {0, 1, 3, 7, -1}) EXPECT_STREQ(ValueTypeName(t), L"REG_SZ") << t;
    EXPECT_EQ(ValueTypeFromName(L"REG_SZ"), 1);
    EXPECT_EQ(ValueTypeFromName(L"REG_DWORD"), 4);
    EXPECT_EQ(ValueTypeFromName(L"REG_EXPAND_SZ"), 2);
    EXPECT_EQ(ValueTypeFromName(L"REG_BINARY"), 1);
    EXPECT_EQ(ValueTypeFromName(L"reg_dword"), 1);
}

TEST(KlarwinRecords, CountersResetAndTotals) {
    SectionCounters c;
    c[0].Found = 3;
    c[11].Found = 2;
    c[5].Repaired = 4;
    c[7].Ignored = 1;
    EXPECT_EQ(c.TotalFound(), 5);
    EXPECT_EQ(c.TotalRepaired(), 4);
    EXPECT_EQ(c.TotalIgnored(), 1);
    c.Reset();
    EXPECT_EQ(c.TotalFound() + c.TotalRepaired() + c.TotalIgnored(), 0);
}

namespace {

CRegistryItem Item(RootKeyHandle root, std::wstring subKey, std::wstring valueName, std::wstring data = L"") {
    CRegistryItem item;
    item.ValueType = 1;
    item.RootKey = root;
    item.RootName = RootNameFromKey(root);
    item.SubKey = std::move(subKey);
    item.ValueName = std::move(valueName);
    item.ValueData = std::move(data);
    return item;
}

}  // namespace

TEST(KlarwinRecords, IgnoreMatchingRule) {
    CArray<CRegistryItem> list;
    list.Add(Item(RootLocalMachine(), L"Software\\Foo", L"Path", L"C:\\a.exe"));
    list.Add(Item(RootCurrentUser(), L"Software\\Bar", L""));
    CIgnoreSet set(list);

    struct Case {
        CRegistryItem item;
        bool ignored;
    } cases[] = {
        {Item(RootLocalMachine(), L"Software\\Foo", L"Path", L"C:\\other.exe"), true},  // data is not compared
        {Item(RootLocalMachine(), L"software\\foo", L"Path"), false},                    // case-sensitive subkey
        {Item(RootLocalMachine(), L"Software\\Foo", L"path"), false},                    // case-sensitive name
        {Item(RootCurrentUser(), L"Software\\Foo", L"Path"), false},                     // other root
        {Item(RootCurrentUser(), L"Software\\Bar", L""), true},                          // default value
        {Item(RootCurrentUser(), L"Software\\Bar", L" "), false},
        {Item(RootLocalMachine(), L"Software\\FooPath", L""), false},                    // no run-together
        {Item(RootLocalMachine(), L"Software\\Foo\\Path", L""), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsItemInList(list, c.item), c.ignored) << c.item.SubKey.size();
        EXPECT_EQ(set.Contains(c.item), c.ignored);
    }
    // Type, root name and tag are not compared either.
    CRegistryItem odd = list[0];
    odd.ValueType = 4;
    odd.RootName = L"whatever";
    odd.Tag = 9;
    EXPECT_TRUE(set.Contains(odd));
    EXPECT_TRUE(IsItemInList(list, odd));
    EXPECT_FALSE(CIgnoreSet().Contains(odd));
}

// The index answers exactly what the linear rule answers, over random lists
// with many near-duplicates.
TEST(KlarwinRecords, IgnoreSetAgreesWithListScan) {
    std::mt19937 rng(12345);
    const RootKeyHandle roots[] = {RootClassesRoot(), RootCurrentUser(), RootLocalMachine(), RootUsers()};
    const wchar_t* keys[] = {L"A", L"a", L"A\\B", L"AB", L"", L"Software\\X"};
    const wchar_t* names[] = {L"", L"n", L"N", L"B", L"\\B"};
    auto pick = [&rng](auto& arr) { return arr[rng() % std::size(arr)]; };
    for (int round = 0; round < 20; ++round) {
        CArray<CRegistryItem> list;
        int n = static_cast<int>(rng() % 30);
        for (int i = 0; i < n; ++i) list.Add(Item(pick(roots), pick(keys), pick(names)));
        CIgnoreSet set(list);
        for (RootKeyHandle r : roots)
            for (const wchar_t* k : keys)
                for (const wchar_t* v : names) {
                    CRegistryItem probe = Item(r, k, v);
                    ASSERT_EQ(set.Contains(probe), IsItemInList(list, probe));
                }
    }
}
