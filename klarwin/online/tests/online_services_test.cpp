// The online services reached through the engine, as the windows reach them:
// update check and download against the loopback update server, a log sent to
// the loopback log service, and a solution applied.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "klarwin/brisko_engine.h"
#include "klarwin/online/online_config.h"
#include "klarwin/online/online_services.h"
#include "klarwin/online/solution_runner.h"
#include "klarwin/update_messages.h"
#include "online_test_support.h"

namespace {

using Messages = std::vector<std::pair<UINT, WPARAM>>;

class OnlineServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        updatePort = UseLoopbackUpdateServer();
        logPort = UseLoopbackLogServer();
        ASSERT_NE(updatePort, 0);
        ASSERT_NE(logPort, 0);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"kwonline_services";
        CreateDirectoryW(folder.c_str(), nullptr);
        program = folder + L"\\Klarwin.exe";
        HANDLE f = CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);

        EngineOptions options;
        options.programPath = program;
        options.backupFolder = folder + L"\\backup";
        options.dataFolder = folder + L"\\data";
        options.reportsFolder = folder + L"\\reports";
        options.notifyWindow = sink.Hwnd();
        options.pacingScale = 0;
        engine = std::make_unique<CBriskoEngine>(options);
        auto services = std::make_unique<COnlineServices>(sink.Hwnd(), program, L"3.0.5");
        online = services.get();
        online->GetLogClient().SetMessageSink([this](const std::wstring& text) { shown.push_back(text); });
        engine->SetOnlineServices(std::move(services));
    }
    void TearDown() override {
        engine.reset();
        DeleteFileW(program.c_str());
        DeleteFileW((program + L".bak").c_str());
        DeleteFileW((program + L".new").c_str());
        RemoveDirectoryW(folder.c_str());
        SetUpdateServer({});
        SetLogServer({});
    }

    CMessageSink sink;
    std::unique_ptr<CBriskoEngine> engine;
    COnlineServices* online = nullptr;
    std::vector<std::wstring> shown;
    unsigned short updatePort = 0, logPort = 0;
    std::wstring folder, program;
};

TEST_F(OnlineServicesTest, OnlineServicesUpdateCheckThenDownloadThroughTheEngine) {
    std::wstring marker;
    for (const char* c = KWONLINE_MARKER_UNIX_PATH; *c; ++c) marker += static_cast<wchar_t>(*c);
    // A download held by the server, stopped as the exit stops it: the thread
    // has ended when the stop returns, nothing is left beside the program.
    ASSERT_EQ(HttpGet(updatePort, L"/control?exe_size=100000&hold=exe"), "ok");
    ASSERT_TRUE(engine->StartUpdateDownload());
    ASSERT_TRUE(sink.WaitFor(WM_DOWNLOAD_PROGRESS, 10000));
    engine->StopUpdateDownload();
    EXPECT_EQ(online->GetThreadsSetAside(), 0u);
    EXPECT_EQ(GetFileAttributesW((program + L".new").c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.6&exe_file=" + marker), "ok");
    ASSERT_TRUE(engine->StartUpdateCheck());
    EXPECT_TRUE(sink.WaitFor(WM_UPDATE_AVAILABLE, 10000));
    ASSERT_TRUE(engine->StartUpdateDownload());
    EXPECT_TRUE(sink.WaitFor(WM_UPDATE_INSTALLED, 90000));  // paced by the server: 8 s and more
    WIN32_FILE_ATTRIBUTE_DATA data{}, served{};
    ASSERT_TRUE(GetFileAttributesExW(program.c_str(), GetFileExInfoStandard, &data));
    ASSERT_TRUE(GetFileAttributesExW((L"Z:" + marker).c_str(), GetFileExInfoStandard, &served));
    EXPECT_EQ(data.nFileSizeLow, served.nFileSizeLow);
    EXPECT_EQ(GetFileAttributesW((program + L".new").c_str()), INVALID_FILE_ATTRIBUTES);

    // A second check replaces the first thread object; a check with nothing
    // new says so.
    ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.5"), "ok");
    ASSERT_TRUE(engine->StartUpdateCheck());
    EXPECT_TRUE(sink.WaitFor(WM_UPDATE_NONE, 10000));
}

TEST_F(OnlineServicesTest, OnlineServicesLogSentThenSolutionApplied) {
    ASSERT_EQ(HttpGet(logPort, L"/control?accept=true&logid=314"), "ok");
    EXPECT_EQ(engine->SubmitLog(L"user@example.com", L"slow", L"<html></html>", L"3.0.5"), 1);
    EXPECT_TRUE(engine->HasSubmittedLog());

    ASSERT_EQ(HttpGet(logPort, L"/control?status=1&comments=ok&commands="), "ok");
    std::wstring comments, commands;
    EXPECT_TRUE(engine->QueryLogStatus(comments, commands));
    EXPECT_EQ(comments, L"ok");

    CSolutionRunner runner;  // the application's one runner
    std::wstring log;
    engine->ApplySolution(log, commands);
    EXPECT_EQ(log, kSolutionNothingToDo);
    EXPECT_FALSE(engine->HasSubmittedLog());
}

}  // namespace
