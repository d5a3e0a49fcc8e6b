#include "klarwin/online/log_service.h"

#include <wininet.h>

#include "klarwin/brisko_engine.h"
#include "klarwin/online/online_config.h"
#include "klarwin/online/soap_text.h"

namespace {

const wchar_t* const kAcceptAll[] = {L"*/*", nullptr};

long ReadStoredLogId() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return -1;
    DWORD id = 0, size = sizeof(id), type = 0;
    LONG rc = RegQueryValueExW(key, L"LogID", nullptr, &type, reinterpret_cast<BYTE*>(&id), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long>(id) : -1;
}

std::wstring ReadStoredEmail() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    wchar_t text[1025] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t), type = 0;
    LONG rc = RegQueryValueExW(key, L"Email", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(text) : std::wstring();
}

bool StorePair(long logId, const std::wstring& email) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    DWORD id = static_cast<DWORD>(logId);
    bool ok = RegSetValueExW(key, L"LogID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&id), sizeof(id)) ==
                  ERROR_SUCCESS &&
              RegSetValueExW(key, L"Email", 0, REG_SZ, reinterpret_cast<const BYTE*>(email.c_str()),
                             static_cast<DWORD>((email.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

}  // namespace

CLogServiceClient::CLogServiceClient()
    : m_show([](const std::wstring& text) { MessageBoxW(nullptr, text.c_str(), L"Klarwin", MB_OK); }) {}

bool CLogServiceClient::Call(const wchar_t* operation, const std::string& body, std::string& answer,
                             DWORD& status) {
    answer.clear();
    status = 0;
    ServerAddress server = GetLogServer();
    HINTERNET internet = InternetOpenW(L"Klarwin", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &m_connectMs, sizeof(m_connectMs));
    InternetSetOptionW(internet, INTERNET_OPTION_SEND_TIMEOUT, &m_transferMs, sizeof(m_transferMs));
    InternetSetOptionW(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &m_transferMs, sizeof(m_transferMs));
    bool ok = false;
    HINTERNET connection = InternetConnectW(internet, server.host.c_str(), server.port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = connection ? HttpOpenRequestW(connection, L"POST", kServicePath, nullptr, nullptr,
                                                      const_cast<LPCWSTR*>(kAcceptAll),
                                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                                   : nullptr;
    if (request) {
        InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &m_transferMs, sizeof(m_transferMs));
        InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &m_transferMs, sizeof(m_transferMs));
        std::wstring headers = L"Content-Type: text/xml; charset=utf-8\r\nSOAPAction: \"" + GetLogNamespace() +
                               operation + L"\"\r\n";
        if (HttpSendRequestW(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                             const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
            DWORD size = sizeof(status);
            HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
            char buffer[4096];
            DWORD got = 0;
            bool complete = false;
            // Answers are small; a megabyte is plenty and bounds a runaway server.
            while (answer.size() < (1u << 20)) {
                if (!InternetReadFile(request, buffer, sizeof(buffer), &got)) break;
                if (got == 0) {
                    complete = true;
                    break;
                }
                answer.append(buffer, got);
            }
            ok = complete && (status == 200 || status == 500);
        }
        InternetCloseHandle(request);
    }
    if (connection) InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    return ok;
}

int CLogServiceClient::SubmitLog(const std::wstring& email, const std::wstring& description, const std::wstring& log,
                                 const std::wstring& productVersion) {
    std::string body = BuildReportComputerLogRequest(GetLogNamespace(), email, productVersion, log, description, -1);
    std::string reply;
    DWORD status = 0;
    ReportComputerLogAnswer answer;
    if (!Call(L"ReportComputerLog", body, reply, status) || status != 200 ||
        ParseReportComputerLogResponse(reply, answer) != SoapParse::Ok) {
        m_show(kMsgConnect);
        return -1;
    }
    if (answer.result && StorePair(answer.logId, email)) {
        m_show(kMsgSent);
        return 1;
    }
    m_show(kMsgSendProblem);
    return -1;
}

bool CLogServiceClient::QueryLogStatus(std::wstring& comments, std::wstring& solutionCommands) {
    std::string body = BuildGetStatusRequest(GetLogNamespace(), static_cast<int>(ReadStoredLogId()), ReadStoredEmail());
    std::string reply;
    DWORD status = 0;
    GetStatusAnswer answer;
    if (!Call(L"GetStatus", body, reply, status) || status != 200 ||
        ParseGetStatusResponse(reply, answer) != SoapParse::Ok) {
        m_show(kMsgConnect);
        return false;
    }
    if (answer.result < 1) return false;
    comments = answer.comments;
    solutionCommands = answer.solutionCommands;
    return true;
}
