// An update from end to end: the running (old) program is replaced by a
// download from the loopback update server, then rebooter.exe ends the old
// program and starts the new one.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "klarwin/online/online_config.h"
#include "klarwin/online/update_threads.h"
#include "klarwin/update_messages.h"
#include "online_test_support.h"

namespace {

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.rfind(L'\\') + 1);
}

std::wstring Widen(const char* text) {
    std::wstring out;
    for (; *text; ++text) out += static_cast<wchar_t>(*text);
    return out;
}

HANDLE Start(const std::wstring& exe, const std::wstring& args) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

TEST(RebooterTest, OnlineRebooterRestartsTheUpdatedProgram) {
    const unsigned short port = UseLoopbackUpdateServer();
    ASSERT_NE(port, 0);
    ASSERT_EQ(HttpGet(port, L"/control?exe_file=" + Widen(KWONLINE_MARKER_UNIX_PATH)), "ok");

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"kwonline_restart";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring program = folder + L"\\Klarwin.exe";
    std::wstring marker = folder + L"\\restarted.txt";
    DeleteFileW(marker.c_str());
    DeleteFileW((program + L".bak").c_str());
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"kwonline_sleeper.exe").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Widen(KWONLINE_REBOOTER_PATH).c_str(), (folder + L"\\rebooter.exe").c_str(), FALSE));

    HANDLE old = Start(program, L"");
    ASSERT_NE(old, nullptr);
    {
        CMessageSink sink;
        CDownloadAppNewVersion download(sink.Hwnd(), program);
        ASSERT_TRUE(download.CreateThread());
        // The server paces the marker: 8 s, several times that on a busy machine.
        EXPECT_TRUE(sink.WaitFor(WM_UPDATE_INSTALLED, 90000));
        download.Stop();
        download.Wait(INFINITE);  // never deleted under a running thread
    }
    EXPECT_EQ(WaitForSingleObject(old, 0), WAIT_TIMEOUT);  // the old program still runs

    HANDLE rebooter = Start(folder + L"\\rebooter.exe", L"/grace 500");
    ASSERT_NE(rebooter, nullptr);
    EXPECT_EQ(WaitForSingleObject(rebooter, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(rebooter, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(rebooter);
    EXPECT_EQ(WaitForSingleObject(old, 5000), WAIT_OBJECT_0);  // ended
    TerminateProcess(old, 0);
    CloseHandle(old);

    bool restarted = false;
    for (int i = 0; i < 100 && !restarted; ++i) {
        restarted = GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!restarted) Sleep(100);
    }
    EXPECT_TRUE(restarted) << "the updated program did not start";

    Sleep(300);
    DeleteFileW(marker.c_str());
    DeleteFileW(program.c_str());
    DeleteFileW((program + L".bak").c_str());
    DeleteFileW((folder + L"\\rebooter.exe").c_str());
    RemoveDirectoryW(folder.c_str());
    SetUpdateServer({});
}

}  // namespace
