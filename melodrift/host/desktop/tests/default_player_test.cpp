// The default-player association in the real HKEY_CLASSES_ROOT of the test
// prefix. Each case starts from a known state of .wav and .mp3 and puts back
// what it found.
#include "desktop/default_player.h"

#include "fw/win/module.h"
#include "fw/win/registry.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// What an extension key held: whether it existed, its default value and its backup value.
struct KeySnapshot {
    bool exists = false;
    std::optional<std::wstring> value, backup;
};

KeySnapshot Take(const wchar_t* ext) {
    KeySnapshot s;
    CRegKey k;
    if (k.Open(HKEY_CLASSES_ROOT, ext, KEY_READ) != ERROR_SUCCESS) return s;
    s.exists = true;
    std::wstring v;
    if (k.QueryStringValue(nullptr, v) == ERROR_SUCCESS) s.value = v;
    if (k.QueryStringValue(L"Tonvar_Back", v) == ERROR_SUCCESS) s.backup = v;
    return s;
}

void PutBack(const wchar_t* ext, const KeySnapshot& s) {
    if (!s.exists) {
        CRegKey::DeleteTree(HKEY_CLASSES_ROOT, ext);
        return;
    }
    CRegKey k;
    ASSERT_EQ(k.Create(HKEY_CLASSES_ROOT, ext), ERROR_SUCCESS);
    if (s.value) k.SetStringValue(nullptr, *s.value);
    else k.DeleteValue(nullptr);
    if (s.backup) k.SetStringValue(L"Tonvar_Back", *s.backup);
    else k.DeleteValue(L"Tonvar_Back");
}

std::optional<std::wstring> Value(const wchar_t* key, const wchar_t* name = nullptr) {
    CRegKey k;
    std::wstring v;
    if (k.Open(HKEY_CLASSES_ROOT, key, KEY_READ) != ERROR_SUCCESS) return std::nullopt;
    if (k.QueryStringValue(name, v) != ERROR_SUCCESS) return std::nullopt;
    return v;
}

void SetOwner(const wchar_t* ext, const wchar_t* owner) {
    CRegKey k;
    ASSERT_EQ(k.Create(HKEY_CLASSES_ROOT, ext), ERROR_SUCCESS);
    k.SetStringValue(nullptr, owner);
    k.DeleteValue(L"Tonvar_Back");
}

class MdDefaultPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        m_wav = Take(L".wav");
        m_mp3 = Take(L".mp3");
        CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L"Melodrift.Player");
        SetOwner(L".wav", L"OtherPlayer.wav");
        SetOwner(L".mp3", L"OtherPlayer.mp3");
    }
    void TearDown() override {
        CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L"Melodrift.Player");
        PutBack(L".wav", m_wav);
        PutBack(L".mp3", m_mp3);
    }
    KeySnapshot m_wav, m_mp3;
};

TEST_F(MdDefaultPlayer, MakeDefaultWritesTheKeysAndIsDefaultAgrees) {
    CDefaultPlayer player;
    EXPECT_FALSE(player.IsDefault());
    ASSERT_TRUE(player.MakeDefault());
    EXPECT_TRUE(player.IsDefault());
    std::wstring exe = fw::GetModulePath(nullptr);
    EXPECT_EQ(Value(L"Melodrift.Player"), L"Melodrift Player");
    EXPECT_EQ(Value(L"Melodrift.Player\\DefaultIcon"), exe + L",0");
    EXPECT_EQ(Value(L"Melodrift.Player\\shell\\open\\command"), L"\"" + exe + L"\" \"%1\"");
    // "Enqueue in Melodrift" beside "Play".
    EXPECT_EQ(Value(L"Melodrift.Player\\shell\\open"), L"&Play");
    EXPECT_EQ(Value(L"Melodrift.Player\\shell\\enqueue"), L"&Enqueue in Melodrift");
    EXPECT_EQ(Value(L"Melodrift.Player\\shell\\enqueue\\command"), L"\"" + exe + L"\" /add \"%1\"");
    EXPECT_EQ(Value(L".wav"), L"Melodrift.Player");
    EXPECT_EQ(Value(L".mp3"), L"Melodrift.Player");
    EXPECT_EQ(Value(L".wav", L"Tonvar_Back"), L"OtherPlayer.wav");
    EXPECT_EQ(Value(L".mp3", L"Tonvar_Back"), L"OtherPlayer.mp3");

    // Stored whole with the terminating NUL.
    DWORD type = 0, size = 0;
    CRegKey k;
    ASSERT_EQ(k.Open(HKEY_CLASSES_ROOT, L"Melodrift.Player", KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryValueExW(k, nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (std::wstring(L"Melodrift Player").size() + 1) * sizeof(wchar_t));
}

TEST_F(MdDefaultPlayer, RemoveAssociationGivesBackOnlyTheTypesItStillOwns) {
    CDefaultPlayer player;
    ASSERT_TRUE(player.MakeDefault());
    SetOwner(L".mp3", L"NewerPlayer.mp3");  // another program took one type since
    EXPECT_TRUE(player.RemoveAssociation());
    EXPECT_FALSE(player.IsDefault());
    EXPECT_FALSE(CRegKey::KeyExists(HKEY_CLASSES_ROOT, L"Melodrift.Player"));
    EXPECT_EQ(Value(L".wav"), L"OtherPlayer.wav");
    EXPECT_EQ(Value(L".mp3"), L"NewerPlayer.mp3");  // left to its new owner
    EXPECT_EQ(Value(L".wav", L"Tonvar_Back"), L"OtherPlayer.wav");  // the backup stays
    SetOwner(L".wav", L"NewerPlayer.wav");
    EXPECT_TRUE(player.RemoveAssociation());  // again: nothing left to delete or give back
    EXPECT_EQ(Value(L".wav"), L"NewerPlayer.wav");
}

TEST_F(MdDefaultPlayer, MakeDefaultTwiceKeepsTheTruePreviousOwner) {
    CDefaultPlayer player;
    ASSERT_TRUE(player.MakeDefault());
    ASSERT_TRUE(player.MakeDefault());
    EXPECT_EQ(Value(L".wav", L"Tonvar_Back"), L"OtherPlayer.wav");
    ASSERT_TRUE(player.RemoveAssociation());
    EXPECT_EQ(Value(L".wav"), L"OtherPlayer.wav");
    EXPECT_EQ(Value(L".mp3"), L"OtherPlayer.mp3");
}

TEST_F(MdDefaultPlayer, AnotherProgramFolderOrAnotherOwnerIsNotDefault) {
    CDefaultPlayer here;
    ASSERT_TRUE(here.MakeDefault());
    CDefaultPlayer elsewhere(L"C:\\Elsewhere\\Melodrift.exe");
    EXPECT_FALSE(elsewhere.IsDefault());
    EXPECT_TRUE(here.IsDefault());
    SetOwner(L".mp3", L"OtherPlayer.mp3");  // another program took one type back
    EXPECT_FALSE(here.IsDefault());
    // A type whose key is gone is not held against us.
    CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L".mp3");
    EXPECT_TRUE(here.IsDefault());
    // A registration without the enqueue verb (an earlier version's) is made again.
    CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L"Melodrift.Player\\shell\\enqueue");
    EXPECT_FALSE(here.IsDefault());
    CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L"Melodrift.Player\\shell");
    EXPECT_FALSE(here.IsDefault());
}

TEST_F(MdDefaultPlayer, TypeWithoutKeyIsCreatedAndGetsAnEmptyOwnerBack) {
    CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L".mp3");
    CDefaultPlayer player;
    ASSERT_TRUE(player.MakeDefault());
    EXPECT_EQ(Value(L".mp3"), L"Melodrift.Player");
    EXPECT_EQ(Value(L".mp3", L"Tonvar_Back"), L"");
    ASSERT_TRUE(player.RemoveAssociation());
    EXPECT_EQ(Value(L".mp3"), L"");
}

TEST(MdDefaultPlayerList, ExtensionsBetweenTheFirstTwoBars) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(CDefaultPlayer::ParseExtensionList(L"Audio Files (*.wav;*.mp3)|.wav;.mp3;|"), (V{L".wav", L".mp3"}));
    EXPECT_EQ(CDefaultPlayer::ParseExtensionList(L"x|.a;.b|"), (V{L".a"}));  // .b lacks its semicolon
    EXPECT_EQ(CDefaultPlayer::ParseExtensionList(L"x|.a;;\\evil;.b;|.c;"), (V{L".a", L".b"}));
    EXPECT_EQ(CDefaultPlayer::ParseExtensionList(L"x|.a;"), (V{L".a"}));
    EXPECT_EQ(CDefaultPlayer::ParseExtensionList(L"no bar at all;"), V{});
    EXPECT_EQ(CDefaultPlayer::ParseExtensionList(L"x||.a;"), V{});
    EXPECT_EQ(CDefaultPlayer::ParseExtensionList(L""), V{});
    std::vector<std::wstring> ext;
    ASSERT_TRUE(CDefaultPlayer::GetSupportedExtensions(ext));
    EXPECT_EQ(ext, (V{L".wav", L".mp3"}));
}

TEST(MdDefaultPlayerList, CommandTextQuotesProgramAndArgument) {
    EXPECT_EQ(CDefaultPlayer(L"C:\\Program Files\\Melodrift\\Melodrift.exe").CommandText(),
              L"\"C:\\Program Files\\Melodrift\\Melodrift.exe\" \"%1\"");
}

}  // namespace
