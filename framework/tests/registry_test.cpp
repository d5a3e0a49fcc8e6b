// CRegKey against the real (Wine) registry, under HKCU\Software\FwRegistryTest.
#include "fw/win/registry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
const wchar_t kRoot[] = L"Software\\FwRegistryTest";

class FwRegistry : public ::testing::Test {
protected:
    void SetUp() override { CRegKey::DeleteTree(HKEY_CURRENT_USER, kRoot); }
    void TearDown() override {
        EXPECT_EQ(CRegKey::DeleteTree(HKEY_CURRENT_USER, kRoot), ERROR_SUCCESS);
        EXPECT_FALSE(CRegKey::KeyExists(HKEY_CURRENT_USER, kRoot));
    }
};
}  // namespace

TEST_F(FwRegistry, ValuesRoundTrip) {
    CRegKey key;
    bool created = false;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kRoot, KEY_READ | KEY_WRITE, &created), ERROR_SUCCESS);
    EXPECT_TRUE(created);
    ASSERT_EQ(key.SetStringValue(L"Text", L"C:\\Program Files\\\u041A\u043B\u0430\u0440\\x.exe"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetStringValue(L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ), ERROR_SUCCESS);
    ASSERT_EQ(key.SetStringValue(L"", L"default value"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDWORDValue(L"Number", 0xDEADBEEF), ERROR_SUCCESS);
    const BYTE blob[] = {0, 1, 2, 0xFF};
    ASSERT_EQ(key.SetBinaryValue(L"Blob", blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(key.SetMultiStringValue(L"List", {L"one", L"two"}), ERROR_SUCCESS);
    EXPECT_EQ(key.SetMultiStringValue(L"Bad", {L"one", L""}), ERROR_INVALID_PARAMETER);

    CRegKey reader;
    ASSERT_EQ(reader.Open(HKEY_CURRENT_USER, kRoot, KEY_READ), ERROR_SUCCESS);
    std::wstring s;
    EXPECT_EQ(reader.QueryStringValue(L"Text", s), ERROR_SUCCESS);
    EXPECT_EQ(s, L"C:\\Program Files\\\u041A\u043B\u0430\u0440\\x.exe");
    EXPECT_EQ(reader.QueryStringValue(L"Expand", s), ERROR_SUCCESS);
    EXPECT_EQ(s, L"%SystemRoot%\\x");  // not expanded
    EXPECT_EQ(reader.QueryStringValue(nullptr, s), ERROR_SUCCESS);
    EXPECT_EQ(s, L"default value");
    DWORD number = 0;
    EXPECT_EQ(reader.QueryDWORDValue(L"Number", number), ERROR_SUCCESS);
    EXPECT_EQ(number, 0xDEADBEEFu);
    std::vector<BYTE> bytes;
    EXPECT_EQ(reader.QueryBinaryValue(L"Blob", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, std::vector<BYTE>(blob, blob + sizeof blob));
    std::vector<std::wstring> list;
    EXPECT_EQ(reader.QueryMultiStringValue(L"List", list), ERROR_SUCCESS);
    EXPECT_EQ(list, (std::vector<std::wstring>{L"one", L"two"}));

    // Wrong types and missing values are results, and leave the output alone.
    s = L"unchanged";
    EXPECT_EQ(reader.QueryStringValue(L"Number", s), ERROR_INVALID_DATA);
    EXPECT_EQ(s, L"unchanged");
    EXPECT_EQ(reader.QueryDWORDValue(L"Text", number), ERROR_INVALID_DATA);
    EXPECT_EQ(reader.QueryStringValue(L"Missing", s), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(reader.ValueExists(L"Missing"));
    EXPECT_TRUE(reader.ValueExists(L"Blob"));
    EXPECT_NE(reader.SetDWORDValue(L"ReadOnly", 1), ERROR_SUCCESS);  // opened for reading only
}

TEST_F(FwRegistry, MalformedStringDataIsReadSafely) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kRoot), ERROR_SUCCESS);
    // No terminator, odd byte count, embedded NUL: as other programs may leave them.
    const wchar_t noTerminator[] = {L'a', L'b', L'c'};
    ASSERT_EQ(key.SetValue(L"NoNul", REG_SZ, noTerminator, sizeof noTerminator), ERROR_SUCCESS);
    const BYTE odd[] = {'x', 0, 'y', 0, 'z'};
    ASSERT_EQ(key.SetValue(L"Odd", REG_SZ, odd, sizeof odd), ERROR_SUCCESS);
    const wchar_t embedded[] = {L'p', 0, L'q', 0};
    ASSERT_EQ(key.SetValue(L"Embedded", REG_SZ, embedded, sizeof embedded), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue(L"Empty", REG_SZ, nullptr, 0), ERROR_SUCCESS);
    const BYTE shortDword[] = {1, 2};
    ASSERT_EQ(key.SetValue(L"ShortDword", REG_DWORD, shortDword, sizeof shortDword), ERROR_SUCCESS);

    std::wstring s;
    EXPECT_EQ(key.QueryStringValue(L"NoNul", s), ERROR_SUCCESS);
    EXPECT_EQ(s, L"abc");
    EXPECT_EQ(key.QueryStringValue(L"Odd", s), ERROR_SUCCESS);
    EXPECT_EQ(s, L"xy");
    EXPECT_EQ(key.QueryStringValue(L"Embedded", s), ERROR_SUCCESS);
    EXPECT_EQ(s, L"p");
    EXPECT_EQ(key.QueryStringValue(L"Empty", s), ERROR_SUCCESS);
    EXPECT_EQ(s, L"");
    DWORD d = 5;
    EXPECT_EQ(key.QueryDWORDValue(L"ShortDword", d), ERROR_INVALID_DATA);
    EXPECT_EQ(d, 5u);
    DWORD type = 0;
    std::vector<BYTE> raw;
    EXPECT_EQ(key.QueryValue(L"Odd", type, raw), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw, std::vector<BYTE>(odd, odd + sizeof odd));
}

TEST_F(FwRegistry, EnumerateAndDeleteTrees) {
    CRegKey root;
    ASSERT_EQ(root.Create(HKEY_CURRENT_USER, kRoot), ERROR_SUCCESS);
    for (const wchar_t* sub : {L"A", L"B\\Deep\\Deeper", L"C"}) {
        CRegKey k;
        ASSERT_EQ(k.Create(root, sub), ERROR_SUCCESS);
        ASSERT_EQ(k.SetStringValue(L"v", L"1"), ERROR_SUCCESS);
    }
    ASSERT_EQ(root.SetStringValue(L"First", L"1"), ERROR_SUCCESS);
    ASSERT_EQ(root.SetDWORDValue(L"Second", 2), ERROR_SUCCESS);

    std::vector<std::wstring> names;
    ASSERT_EQ(root.GetSubKeyNames(names), ERROR_SUCCESS);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"A", L"B", L"C"}));
    ASSERT_EQ(root.GetValueNames(names), ERROR_SUCCESS);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"First", L"Second"}));
    std::wstring name;
    DWORD type = 0;
    EXPECT_EQ(root.EnumValue(0, name, &type), ERROR_SUCCESS);
    EXPECT_EQ(root.EnumKey(3, name), ERROR_NO_MORE_ITEMS);

    EXPECT_EQ(root.DeleteValue(L"First"), ERROR_SUCCESS);
    EXPECT_EQ(root.DeleteValue(L"First"), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(root.DeleteSubKey(L"B"), ERROR_SUCCESS);  // has sub-keys
    EXPECT_EQ(root.RecurseDeleteKey(L"B"), ERROR_SUCCESS);
    EXPECT_FALSE(CRegKey::KeyExists(root, L"B"));
    EXPECT_TRUE(CRegKey::KeyExists(root, L"A"));
    EXPECT_EQ(root.DeleteSubKey(L"A"), ERROR_SUCCESS);
    EXPECT_EQ(CRegKey::DeleteTree(root, L"Missing"), ERROR_SUCCESS);
    EXPECT_EQ(CRegKey::DeleteTree(root, L""), ERROR_INVALID_PARAMETER);  // never the key itself
    EXPECT_TRUE(CRegKey::KeyExists(HKEY_CURRENT_USER, kRoot));
}

TEST_F(FwRegistry, KeysCloseAndMove) {
    CRegKey a;
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(a.SetDWORDValue(L"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(a.Open(HKEY_CURRENT_USER, L"Software\\FwRegistryTest\\Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(a.IsOpen());
    ASSERT_EQ(a.Create(HKEY_CURRENT_USER, kRoot), ERROR_SUCCESS);
    CRegKey b = std::move(a);
    EXPECT_FALSE(a.IsOpen());
    EXPECT_TRUE(b.IsOpen());
    EXPECT_EQ(b.SetDWORDValue(L"x", 1), ERROR_SUCCESS);
    HKEY raw = b.Detach();
    EXPECT_FALSE(b.IsOpen());
    CRegKey c(raw);  // takes ownership back
    EXPECT_EQ(c.DeleteValue(L"x"), ERROR_SUCCESS);
    EXPECT_EQ(c.Close(), ERROR_SUCCESS);
    EXPECT_EQ(c.Close(), ERROR_SUCCESS);
}
