// The debug log through the real Journix.dll: line layout, filtering, text
// that survives, and many threads writing at once.
#include "journix/journix.h"

#include "fw/strutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

class JournixTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_file = std::wstring(temp) + fw::Format(L"journix_test_%lu_%lu.log", GetCurrentProcessId(), GetTickCount());
        DeleteFileW(m_file.c_str());
        ASSERT_TRUE(enJournix()->SetLogFile(m_file.c_str()));
        enJournix()->SetFilterLevel(0);
    }
    void TearDown() override {
        enJournix()->SetLogFile(nullptr);
        enJournix()->SetFilterLevel(0);
        DeleteFileW(m_file.c_str());
    }
    std::string Content() const {
        std::ifstream in(std::filesystem::path(m_file), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::string all = Content();
        std::size_t start = 0;
        for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(all.substr(start, end - start));
        EXPECT_EQ(start, all.size()) << "every line ends with CR LF";
        return lines;
    }
    std::wstring m_file;
};

TEST_F(JournixTest, MdJournixLineHasTimeSourceLevelAndText) {
    enJournix()->WriteLogMessage(L"MainFrame", L"Loaded library %s successfully.", L"C:\\M\\Modules\\a.dll");
    enJournix()->WriteLogMessageLevel(JOURNIX_ERROR, L"Vocalith", L"%d of %d", 3, 4);
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    std::regex first(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[MainFrame\] INFO: Loaded library C:\\M\\Modules\\a\.dll successfully\.$)");
    EXPECT_TRUE(std::regex_match(lines[0], first)) << lines[0];
    EXPECT_NE(lines[1].find(" [Vocalith] ERROR: 3 of 4"), std::string::npos) << lines[1];
}

TEST_F(JournixTest, MdJournixFilterLevelDropsLowerLevels) {
    enJournix()->SetFilterLevel(JOURNIX_WARNING);
    EXPECT_EQ(enJournix()->GetFilterLevel(), JOURNIX_WARNING);
    enJournix()->WriteLogMessage(L"MainFrame", L"info");
    enJournix()->WriteLogMessageLevel(JOURNIX_TRACE, L"MainFrame", L"trace");
    enJournix()->WriteLogMessageLevel(JOURNIX_WARNING, L"MainFrame", L"warning");
    enJournix()->WriteLogMessageLevel(JOURNIX_ERROR, L"MainFrame", L"error");
    enJournix()->SetFilterLevel(100);
    enJournix()->WriteLogMessageLevel(JOURNIX_ERROR, L"MainFrame", L"silenced");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("WARNING: warning"), std::string::npos);
    EXPECT_NE(lines[1].find("ERROR: error"), std::string::npos);
}

TEST_F(JournixTest, MdJournixTextOutsideTheCodePageSurvivesAndStaysOneLine) {
    enJournix()->WriteLogMessage(L"\u041c\u043e\u0434\u0443\u043b\u044c", L"%s\r\nnext\tline", L"\u97f3\u697d \u00e9");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    std::wstring text = fw::FromUtf8(lines[0]);
    EXPECT_NE(text.find(L"[\u041c\u043e\u0434\u0443\u043b\u044c] INFO: \u97f3\u697d \u00e9  next line"),
              std::wstring::npos);
}

TEST_F(JournixTest, MdJournixManyThreadsLoseNoLine) {
    constexpr int kThreads = 8, kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                enJournix()->WriteLogMessage(L"Worker", L"thread %d line %d padding %s", t, i,
                                             L"0123456789012345678901234567890123456789");
        });
    for (auto& th : threads) th.join();
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    std::set<std::string> seen;
    std::regex shape(R"(^\S+ \S+ \[Worker\] INFO: thread (\d+) line (\d+) padding 0123456789012345678901234567890123456789$)");
    for (const std::string& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        seen.insert(m[1].str() + "/" + m[2].str());
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLines));
}

TEST_F(JournixTest, MdJournixDefaultFileLiesBesideTheProgram) {
    wchar_t buffer[MAX_PATH] = {};
    ASSERT_TRUE(enJournix()->SetLogFile(nullptr));
    DWORD n = enJournix()->GetLogFile(buffer, MAX_PATH);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring expected = exe;
    expected = expected.substr(0, expected.rfind(L'.')) + L"_debug.log";
    EXPECT_EQ(std::wstring(buffer, n), expected);
    // Too small a buffer: only the length.
    wchar_t small[4] = {L'x', 0, 0, 0};
    EXPECT_EQ(enJournix()->GetLogFile(small, 4), n);
    EXPECT_EQ(small[0], L'x');
}

TEST_F(JournixTest, MdJournixUnusableFileKeepsThePreviousOne) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    EXPECT_FALSE(enJournix()->SetLogFile(temp));  // a folder
    EXPECT_FALSE(enJournix()->SetLogFile(L"Q:\\no\\such\\folder\\x.log"));
    enJournix()->WriteLogMessage(L"MainFrame", L"still here");
    EXPECT_NE(Content().find("still here"), std::string::npos);
}

}  // namespace
