// Update check and download over WinINet against the loopback update server.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "klarwin/online/online_config.h"
#include "klarwin/online/update_threads.h"
#include "klarwin/update_messages.h"
#include "online_test_support.h"

namespace {

using Messages = std::vector<std::pair<UINT, WPARAM>>;

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = UseLoopbackUpdateServer();
        ASSERT_NE(port, 0) << "no update server";
    }
    void TearDown() override { SetUpdateServer({}); }

    void Control(const std::wstring& query) { ASSERT_EQ(HttpGet(port, L"/control?" + query), "ok"); }

    // Runs one check with the program at ownVersion; the messages posted.
    Messages Check(const std::wstring& ownVersion, bool notifyIfCurrent = true) {
        CMessageSink sink;
        CAutoFindNewVersion check(sink.Hwnd(), ownVersion);
        check.m_notifyIfCurrent = notifyIfCurrent;
        EXPECT_TRUE(check.CreateThread());
        sink.Pump(100);  // the request comes after the start
        check.RequestCheck();
        for (int i = 0; i < 200 && !check.Wait(0); ++i) sink.Pump(50);
        EXPECT_TRUE(check.Wait(0)) << "the check thread did not end";
        sink.Pump(100);
        return sink.Messages();
    }

    unsigned short port = 0;
};

TEST_F(UpdateTest, OnlineUpdateVersionComparisonIsExact) {
    Control(L"version=3.0.5");
    EXPECT_EQ(Check(L"3.0.5"), (Messages{{WM_UPDATE_NONE, 0}}));
    EXPECT_EQ(Check(L"3.0.5", false), Messages{});

    Control(L"version=3.0.5%0D%0A");
    EXPECT_EQ(Check(L"3.0.5"), (Messages{{WM_UPDATE_AVAILABLE, 0}}));
    Control(L"version=2.9.9");
    EXPECT_EQ(Check(L"3.0.5"), (Messages{{WM_UPDATE_AVAILABLE, 0}}));  // different, not newer

    // Text not starting with a digit is no different version.
    Control(L"version=v3.0.6");
    EXPECT_EQ(Check(L"3.0.5"), (Messages{{WM_UPDATE_NONE, 0}}));
    // Without Content-Length nothing is posted.
    Control(L"version=3.0.6&nolength=version");
    EXPECT_EQ(Check(L"3.0.5"), Messages{});
}

TEST_F(UpdateTest, OnlineUpdateOversizedVersionFileIsCutToTheBuffer) {
    Control(L"version_big=5000");
    std::wstring text;
    CUpdateSession session(L"AutoFindNewVersion");
    EXPECT_TRUE(ReadSmallServerFile(session, kVersionObject, text));
    EXPECT_EQ(text, std::wstring(kSmallFileLimit - 1, L'9'));
    EXPECT_EQ(Check(L"3.0.5"), (Messages{{WM_UPDATE_AVAILABLE, 0}}));
}

TEST_F(UpdateTest, OnlineUpdateStoppedCheckThreadEndsAtOnce) {
    CMessageSink sink;
    CAutoFindNewVersion check(sink.Hwnd(), L"3.0.5");
    ASSERT_TRUE(check.CreateThread());
    sink.Pump(200);
    EXPECT_FALSE(check.Wait(0));  // waiting for a request
    check.Stop();
    EXPECT_TRUE(check.Wait(2000));
    sink.Pump(50);
    EXPECT_TRUE(sink.Messages().empty());
}

class DownloadTest : public UpdateTest {
protected:
    void SetUp() override {
        UpdateTest::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"kwonline_program";
        CreateDirectoryW(folder.c_str(), nullptr);
        program = folder + L"\\Klarwin.exe";
        WriteAll(program, std::string("old program"));
        DeleteFileW((program + L".bak").c_str());
    }
    void TearDown() override {
        DeleteFileW(program.c_str());
        DeleteFileW((program + L".bak").c_str());
        DeleteFileW((program + L".new").c_str());
        RemoveDirectoryW(folder.c_str());
        UpdateTest::TearDown();
    }

    static void WriteAll(const std::wstring& path, const std::string& data) {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        CloseHandle(f);
    }
    static std::string ReadAll(const std::wstring& path) {
        std::string data;
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return data;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got) data.append(buffer, got);
        CloseHandle(f);
        return data;
    }

    Messages Download() {
        CMessageSink sink;
        CDownloadAppNewVersion download(sink.Hwnd(), program);
        EXPECT_TRUE(download.CreateThread());
        // The server paces the program file (50 ms a block): the marker takes
        // 8 s, twice that on a busy machine.
        for (int i = 0; i < 1200 && !download.Wait(0); ++i) sink.Pump(50);
        EXPECT_TRUE(download.Wait(0)) << "the download thread did not end";
        download.Stop();
        download.Wait(INFINITE);  // never deleted under a running thread
        sink.Pump(100);
        target = download.GetDownloadTarget();
        return sink.Messages();
    }

    std::wstring folder, program, target;
};

std::wstring Widen(const char* text) {
    std::wstring out;
    for (; *text; ++text) out += static_cast<wchar_t>(*text);
    return out;
}

TEST_F(DownloadTest, OnlineUpdateDownloadInBlocksInstalledOnlyWhenANewProgram) {
    // Bytes that are no program arrive in full and are then discarded.
    Control(L"exe_size=10000");
    Messages m = Download();
    EXPECT_EQ(m, (Messages{{WM_DOWNLOAD_START, 10000},
                           {WM_DOWNLOAD_PROGRESS, 4096},
                           {WM_DOWNLOAD_PROGRESS, 8192},
                           {WM_DOWNLOAD_PROGRESS, 10000},
                           {WM_DOWNLOAD_COMPLETE, 0},
                           {WM_UPDATE_FAILED, kUpdateFailedNotAProgram}}));
    EXPECT_EQ(ReadAll(program), "old program");
    EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);

    // Programs that are not a new Klarwin: a DLL, a program without this
    // product's name, this product in the running version.
    const Messages rejected = {{WM_DOWNLOAD_COMPLETE, 0}, {WM_UPDATE_FAILED, kUpdateFailedNotAProgram}};
    for (const char* file : {KWONLINE_TESTDLL_UNIX_PATH, KWONLINE_SLEEPER_UNIX_PATH}) {
        Control(L"exe_file=" + Widen(file));
        m = Download();
        ASSERT_GE(m.size(), 2u) << file;
        EXPECT_EQ(Messages(m.end() - 2, m.end()), rejected) << file;
        EXPECT_EQ(ReadAll(program), "old program");
        EXPECT_EQ(GetFileAttributesW((program + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(CheckDownloadedProgram(L"Z:" + Widen(KWONLINE_MARKER_UNIX_PATH), L"9.9.9"),
              DownloadedProgram::SameVersion);

    // This product in another version, with bytes after its image: in place.
    const std::string marker = ReadAll(L"Z:" + Widen(KWONLINE_MARKER_UNIX_PATH));
    ASSERT_FALSE(marker.empty());
    const size_t padded = marker.size() + 5000;
    Control(L"exe_file=" + Widen(KWONLINE_MARKER_UNIX_PATH) + L"&exe_pad=" + std::to_wstring(padded));
    m = Download();
    ASSERT_GE(m.size(), 3u);
    EXPECT_EQ(Messages(m.end() - 2, m.end()), (Messages{{WM_DOWNLOAD_COMPLETE, 0}, {WM_UPDATE_INSTALLED, 0}}));
    EXPECT_EQ(ReadAll(program), marker + std::string(padded - marker.size(), '\0'));
    EXPECT_EQ(GetFileAttributesW((program + L".bak").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A server that stops answering part way: a stop ends either thread within a
// second, wherever it is (under Wine a closed request does not end a read in
// progress), and nothing more is posted; a stop before the thread runs is kept.
TEST_F(DownloadTest, OnlineUpdateStopEndsThreadsHeldByAServerThatStopsAnswering) {
    Control(L"exe_size=100000&hold=exe");
    {
        CMessageSink sink;
        CDownloadAppNewVersion download(sink.Hwnd(), program);
        ASSERT_TRUE(download.CreateThread());
        ASSERT_TRUE(sink.WaitFor(WM_DOWNLOAD_PROGRESS, 20000));
        sink.Pump(300);  // into the next read
        download.Stop();
        EXPECT_TRUE(download.Wait(1000)) << "the stop did not end the download";
        download.Wait(INFINITE);  // never deleted under a running thread
        sink.Pump(100);
        EXPECT_EQ(sink.Messages().back(), (std::pair<UINT, WPARAM>{WM_DOWNLOAD_PROGRESS, 4096}));
        EXPECT_EQ(GetFileAttributesW(download.GetDownloadTarget().c_str()), INVALID_FILE_ATTRIBUTES);
    }
    Control(L"hold=version");
    {
        CMessageSink sink;
        CAutoFindNewVersion check(sink.Hwnd(), L"3.0.5");
        ASSERT_TRUE(check.CreateThread());
        check.RequestCheck();
        sink.Pump(1000);  // into the read of the version file
        check.Stop();
        EXPECT_TRUE(check.Wait(1000)) << "the stop did not end the check";
        check.Wait(INFINITE);  // never deleted under a running thread
        sink.Pump(100);
        EXPECT_TRUE(sink.Messages().empty());
    }

    // Stopped before it runs: nothing is fetched, posted or replaced.
    Control(L"exe_file=" + Widen(KWONLINE_MARKER_UNIX_PATH));
    CMessageSink sink;
    CDownloadAppNewVersion download(sink.Hwnd(), program);
    download.Stop();
    ASSERT_TRUE(download.CreateThread());
    EXPECT_TRUE(download.Wait(10000));
    sink.Pump(200);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(ReadAll(program), "old program");
}

TEST_F(DownloadTest, OnlineUpdateIncompleteDownloadKeepsTheProgram) {
    // The connection drops half way.
    Control(L"exe_size=10000&cut=5000");
    Messages m = Download();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.front(), (std::pair<UINT, WPARAM>{WM_DOWNLOAD_START, 10000}));
    EXPECT_EQ(m.back(), (std::pair<UINT, WPARAM>{WM_UPDATE_FAILED, 0}));
    for (auto& [message, wParam] : m) EXPECT_NE(message, WM_DOWNLOAD_COMPLETE);
    EXPECT_EQ(ReadAll(program), "old program");

    // The size file announces more than the server sends.
    Control(L"exe_size=10000&appsize=12000");
    m = Download();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.back(), (std::pair<UINT, WPARAM>{WM_UPDATE_FAILED, 0}));
    EXPECT_EQ(ReadAll(program), "old program");

    // The program file without Content-Length fails; so does a size file
    // without it, which the window is told too (it would wait for ever).
    Control(L"nolength=exe");
    m = Download();
    EXPECT_EQ(m, (Messages{{WM_DOWNLOAD_START, 10000}, {WM_UPDATE_FAILED, kUpdateFailedDownload}}));
    EXPECT_EQ(ReadAll(program), "old program");
    Control(L"nolength=appsize");
    EXPECT_EQ(Download(), (Messages{{WM_UPDATE_FAILED, kUpdateFailedDownload}}));
    EXPECT_EQ(ReadAll(program), "old program");
}

TEST_F(DownloadTest, OnlineUpdateFailedReplacementPutsTheProgramBack) {
    // The new file is missing, so the second move fails.
    std::wstring missing = folder + L"\\not-downloaded.exe";
    EXPECT_FALSE(ReplaceProgramFile(program, missing));
    EXPECT_EQ(ReadAll(program), "old program");
    EXPECT_EQ(GetFileAttributesW((program + L".bak").c_str()), INVALID_FILE_ATTRIBUTES);

    std::wstring fresh = folder + L"\\fresh.exe";
    WriteAll(fresh, "new program");
    EXPECT_TRUE(ReplaceProgramFile(program, fresh));
    EXPECT_EQ(ReadAll(program), "new program");
}

TEST(OnlineSettingsTest, OnlineUpdateServerAddressAndSpeed) {
    ServerAddress a;
    EXPECT_TRUE(ParseServerAddress(L"127.0.0.1:8080", a));
    EXPECT_EQ(a.host, L"127.0.0.1");
    EXPECT_EQ(a.port, 8080);
    EXPECT_TRUE(ParseServerAddress(L"updates.example", a));
    EXPECT_EQ(a.port, 80);
    EXPECT_FALSE(ParseServerAddress(L"host:99999", a));
    EXPECT_FALSE(ParseServerAddress(L":80", a));
    EXPECT_FALSE(ParseServerAddress(L"host:", a));

    // Before a whole second the rate is over the milliseconds so far.
    EXPECT_EQ(DownloadBytesPerSecond(4096, 0), 4096000u);
    EXPECT_EQ(DownloadBytesPerSecond(4096, 500), 8192u);
    EXPECT_EQ(DownloadBytesPerSecond(10000, 2000), 5000u);
}

}  // namespace
