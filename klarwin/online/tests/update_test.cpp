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
        port = ServerPort("update_port");
        ASSERT_NE(port, 0) << "no update server";
        SetUpdateServer({L"127.0.0.1", port});
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
    HINTERNET internet = InternetOpenW(L"AutoFindNewVersion", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection =
        InternetConnectW(internet, L"127.0.0.1", port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    std::wstring text;
    EXPECT_TRUE(ReadSmallServerFile(connection, kVersionObject, text));
    EXPECT_EQ(text, std::wstring(kSmallFileLimit - 1, L'9'));
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
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
        for (int i = 0; i < 300 && !download.Wait(0); ++i) sink.Pump(50);
        EXPECT_TRUE(download.Wait(0)) << "the download thread did not end";
        sink.Pump(100);
        target = download.GetDownloadTarget();
        return sink.Messages();
    }

    std::wstring folder, program, target;
};

std::string ProgramBytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

TEST_F(DownloadTest, OnlineUpdateDownloadInBlocksThenInstalled) {
    Control(L"exe_size=10000");
    Messages m = Download();
    EXPECT_EQ(m, (Messages{{WM_DOWNLOAD_START, 10000},
                           {WM_DOWNLOAD_PROGRESS, 4096},
                           {WM_DOWNLOAD_PROGRESS, 8192},
                           {WM_DOWNLOAD_PROGRESS, 10000},
                           {WM_DOWNLOAD_COMPLETE, 0},
                           {WM_UPDATE_INSTALLED, 0}}));
    EXPECT_EQ(ReadAll(program), ProgramBytes(10000));
    EXPECT_EQ(GetFileAttributesW((program + L".bak").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
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

    // The program file without Content-Length fails; a size file without it ends silently.
    Control(L"nolength=exe");
    m = Download();
    EXPECT_EQ(m, (Messages{{WM_DOWNLOAD_START, 10000}, {WM_UPDATE_FAILED, 0}}));
    EXPECT_EQ(ReadAll(program), "old program");
    Control(L"nolength=appsize");
    EXPECT_EQ(Download(), Messages{});
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
