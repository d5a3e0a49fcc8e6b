// The client of Klarwin's scan-log service (SOAP 1.1 over HTTP, POST to
// "/service.asmx"): sends the system report and asks whether a solution is
// ready. Host, port and namespace are build settings (online_config.h).
//
//   CLogServiceClient client;                 // message boxes for the user
//   int rc = client.SubmitLog(email, description, html, L"1.0.0");   // 1 or -1
//   std::wstring comments, commands;
//   if (client.QueryLogStatus(comments, commands)) ...
//
// Time-outs: 10 seconds to connect, 30 seconds to send and to receive
// (SetTimeouts changes them). Both calls are synchronous.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

constexpr wchar_t kServicePath[] = L"/service.asmx";
constexpr wchar_t kMsgConnect[] = L"Please connect to Internet so you can send your log data.";
constexpr wchar_t kMsgSent[] = L"Your report was sent successfully.";
constexpr wchar_t kMsgSendProblem[] = L"There was some problem in sending the data. Please try again.";

class CLogServiceClient {
public:
    CLogServiceClient();

    // 1 when the service accepted the log ("LogID" and "Email" are then
    // stored), -1 otherwise (the stored pair stays as it was).
    int SubmitLog(const std::wstring& email, const std::wstring& description, const std::wstring& log,
                  const std::wstring& productVersion);
    // True when a solution is ready; then both outputs are filled.
    bool QueryLogStatus(std::wstring& comments, std::wstring& solutionCommands);

    // Who shows the messages (a plain OK message box by default).
    void SetMessageSink(std::function<void(const std::wstring&)> sink) { m_show = std::move(sink); }
    void SetTimeouts(DWORD connectMs, DWORD sendReceiveMs) {
        m_connectMs = connectMs;
        m_transferMs = sendReceiveMs;
    }

    // One exchange: POST body with the operation's SOAPAction; the answer's
    // body when the status is 200 or 500 (a SOAP fault comes with 500).
    bool Call(const wchar_t* operation, const std::string& body, std::string& answer, DWORD& status);

private:
    std::function<void(const std::wstring&)> m_show;
    DWORD m_connectMs = 10000;
    DWORD m_transferMs = 30000;
};
