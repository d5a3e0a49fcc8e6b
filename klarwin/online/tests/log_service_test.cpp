// The log service client against the loopback SOAP server built from the
// checked-in service description, with answers and faults the tests choose.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "klarwin/brisko_engine.h"
#include "klarwin/online/log_service.h"
#include "klarwin/online/online_config.h"
#include "online_test_support.h"

namespace {

class LogServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = UseLoopbackLogServer();
        ASSERT_NE(port, 0) << "no log service";
        client.SetMessageSink([this](const std::wstring& text) { shown.push_back(text); });
        ClearPair();
    }
    void TearDown() override {
        ClearPair();
        SetLogServer({});
    }

    void Control(const std::wstring& query) { ASSERT_EQ(HttpGet(port, L"/control?" + query), "ok"); }
    // The last request the server saw: SOAPAction, content type, body.
    std::vector<std::string> Last() {
        std::string text = HttpGet(port, L"/last");
        std::vector<std::string> parts;
        size_t a = text.find('\n'), b = a == std::string::npos ? a : text.find('\n', a + 1);
        if (b == std::string::npos) return parts;
        return {text.substr(0, a), text.substr(a + 1, b - a - 1), text.substr(b + 1)};
    }

    static void ClearPair() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, L"LogID");
            RegDeleteValueW(key, L"Email");
            RegCloseKey(key);
        }
    }
    static void StorePair(DWORD id, const std::wstring& email) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"LogID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&id), sizeof(id));
        RegSetValueExW(key, L"Email", 0, REG_SZ, reinterpret_cast<const BYTE*>(email.c_str()),
                       static_cast<DWORD>((email.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static std::pair<long, std::wstring> StoredPair() {
        HKEY key = nullptr;
        long id = -1;
        std::wstring email = L"<none>";
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            DWORD value = 0, size = sizeof(value);
            if (RegQueryValueExW(key, L"LogID", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS)
                id = static_cast<long>(value);
            wchar_t text[256] = {};
            size = sizeof(text) - sizeof(wchar_t);
            if (RegQueryValueExW(key, L"Email", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
                ERROR_SUCCESS)
                email = text;
            RegCloseKey(key);
        }
        return {id, email};
    }

    unsigned short port = 0;
    CLogServiceClient client;
    std::vector<std::wstring> shown;
};

TEST_F(LogServiceTest, OnlineLogSubmitAcceptedStoresThePair) {
    Control(L"accept=true&logid=42");
    std::wstring html = L"<html><body><table><tr><td>A & B</td></tr></table></body></html>";
    EXPECT_EQ(client.SubmitLog(L"user@example.com", L"It is slow", html, L"1.0.0"), 1);
    EXPECT_EQ(shown, std::vector<std::wstring>{kMsgSent});
    EXPECT_EQ(StoredPair(), (std::pair<long, std::wstring>{42, L"user@example.com"}));

    std::vector<std::string> last = Last();
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[0], "\"http://klarwin.example/LogService/ReportComputerLog\"");
    EXPECT_EQ(last[1], "text/xml; charset=utf-8");
    EXPECT_NE(last[2].find("<Log>&lt;html&gt;&lt;body&gt;&lt;table&gt;&lt;tr&gt;&lt;td&gt;A &amp; B&lt;/td&gt;"),
              std::string::npos);
    EXPECT_NE(last[2].find("<LogID>-1</LogID>"), std::string::npos);
}

TEST_F(LogServiceTest, OnlineLogRejectedOrFailedKeepsTheStoredPair) {
    StorePair(7, L"old@example.com");
    Control(L"accept=false&logid=99");
    EXPECT_EQ(client.SubmitLog(L"new@example.com", L"d", L"<html/>", L"1.0.0"), -1);
    EXPECT_EQ(shown, std::vector<std::wstring>{kMsgSendProblem});
    EXPECT_EQ(StoredPair(), (std::pair<long, std::wstring>{7, L"old@example.com"}));

    // Every transport and protocol failure gives the one connection message;
    // an answer that never comes is given up after the receive time-out.
    client.SetTimeouts(2000, 2000);
    for (const wchar_t* fault : {L"http500", L"soapfault", L"malformed", L"silent"}) {
        shown.clear();
        Control(std::wstring(L"accept=true&fault=") + fault);
        DWORD start = GetTickCount();
        EXPECT_EQ(client.SubmitLog(L"new@example.com", L"d", L"<html/>", L"1.0.0"), -1) << fault;
        EXPECT_LT(GetTickCount() - start, 15000u) << fault;
        EXPECT_EQ(shown, std::vector<std::wstring>{kMsgConnect}) << fault;
        EXPECT_EQ(StoredPair(), (std::pair<long, std::wstring>{7, L"old@example.com"})) << fault;
    }
    // Nobody listening.
    shown.clear();
    SetLogServer({L"127.0.0.1", 1});
    EXPECT_EQ(client.SubmitLog(L"new@example.com", L"d", L"<html/>", L"1.0.0"), -1);
    EXPECT_EQ(shown, std::vector<std::wstring>{kMsgConnect});
}

TEST_F(LogServiceTest, OnlineLogStatusOfTheStoredLog) {
    // No stored log: ID -1 and an empty address; result 0 gives false silently.
    Control(L"status=0");
    std::wstring comments = L"untouched", commands = L"untouched";
    EXPECT_FALSE(client.QueryLogStatus(comments, commands));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(comments, L"untouched");
    std::vector<std::string> last = Last();
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[0], "\"http://klarwin.example/LogService/GetStatus\"");
    EXPECT_NE(last[2].find("<ID>-1</ID><Email></Email>"), std::string::npos) << last[2];

    StorePair(42, L"user@example.com");
    Control(L"status=1&comments=" + std::wstring(L"Remove%20the%20%3Ctool%3E") +
            L"&commands=2%25C:%5Cbad.exe;1%25bad.exe");
    EXPECT_TRUE(client.QueryLogStatus(comments, commands));
    EXPECT_EQ(comments, L"Remove the <tool>");
    EXPECT_EQ(commands, L"2%C:\\bad.exe;1%bad.exe");
    last = Last();
    ASSERT_EQ(last.size(), 3u);
    EXPECT_NE(last[2].find("<ID>42</ID><Email>user@example.com</Email>"), std::string::npos) << last[2];

    Control(L"fault=soapfault");
    EXPECT_FALSE(client.QueryLogStatus(comments, commands));
    EXPECT_EQ(shown, std::vector<std::wstring>{kMsgConnect});
}

}  // namespace
