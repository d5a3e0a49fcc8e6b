// Melodrift.exe and the default-player association of the test prefix: the
// switches "reg" and "unreg", copies in two folders, and the offer at start-up.
#include "program_test_support.h"

namespace {

using namespace mdtest;

TEST(MdHostAssociation, RegAndUnregTogetherApplyOnlyReg) {
    AssociationGuard guard;
    Install install(L"reg");
    CDefaultPlayer player(install.exe);
    {
        Process run(install.exe, L"-unreg /REG /nostart");
        ASSERT_TRUE(run.Ended(60000));
    }
    EXPECT_TRUE(player.IsDefault());
    {
        Process run(install.exe, L"/unreg -nostart");
        ASSERT_TRUE(run.Ended(60000));
    }
    EXPECT_FALSE(player.IsDefault());
    EXPECT_FALSE(CRegKey::KeyExists(HKEY_CLASSES_ROOT, L"Melodrift.Player"));
}

TEST(MdHostAssociation, AnotherProgramFolderIsNotTheDefaultPlayer) {
    AssociationGuard guard;
    Install first(L"first"), second(L"second");
    {
        Process run(first.exe, L"/reg /nostart");
        ASSERT_TRUE(run.Ended(60000));
    }
    EXPECT_TRUE(CDefaultPlayer(first.exe).IsDefault());
    EXPECT_FALSE(CDefaultPlayer(second.exe).IsDefault());
    {
        Process run(second.exe, L"/reg /nostart");
        ASSERT_TRUE(run.Ended(60000));
    }
    EXPECT_TRUE(CDefaultPlayer(second.exe).IsDefault());
    EXPECT_FALSE(CDefaultPlayer(first.exe).IsDefault());
}

TEST(MdHostAssociation, DefaultPlayerOfferMakesTheAssociationOnYes) {
    AssociationGuard guard;
    Install install(L"offer");
    Process run(install.exe, L"");
    HWND dialog = run.WaitForWindow(L"Default Player");
    ASSERT_NE(dialog, nullptr) << "ended: " << run.Ended(0) << " exit code " << run.ExitCode();
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(203, BN_CLICKED), 0);
    HWND frame = run.WaitForWindow(L"Melodrift");
    ASSERT_NE(frame, nullptr);
    for (int i = 0; i < 100 && !CDefaultPlayer(install.exe).IsDefault(); ++i) Sleep(50);
    EXPECT_TRUE(CDefaultPlayer(install.exe).IsDefault());
    PostMessageW(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(run.Ended(30000));
    EXPECT_EQ(mdtest::ReadIni(install.data + L"config.ini", L"Main frame: params", L"CheckDefaultPlayer"), L"Yes");
}


}  // namespace
