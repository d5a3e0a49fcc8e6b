// The XML of the log service's SOAP 1.1 exchange: requests built as UTF-8
// text, answers read back. No Windows header: builds in every preset.
//
//   std::string body = BuildReportComputerLogRequest(ns, email, version, html, description, -1);
//   ReportComputerLogAnswer answer;
//   if (ParseReportComputerLogResponse(reply, answer) == SoapParse::Ok) ...
#pragma once

#include <string>

// UTF-16 (one unit per wchar_t) to UTF-8 and back; bad sequences become U+FFFD.
std::string Utf16ToUtf8(const std::wstring& text);
std::wstring Utf8ToUtf16(const std::string& text);

// Escapes &, <, >, " and ' for element text.
std::string XmlEscape(const std::string& utf8);

std::string BuildReportComputerLogRequest(const std::wstring& ns, const std::wstring& email,
                                          const std::wstring& productVersion, const std::wstring& log,
                                          const std::wstring& description, int logId);
std::string BuildGetStatusRequest(const std::wstring& ns, int id, const std::wstring& email);

enum class SoapParse { Ok, Fault, Malformed };

struct ReportComputerLogAnswer {
    bool result = false;
    int logId = -1;
};
struct GetStatusAnswer {
    int result = 0;
    std::wstring comments;
    std::wstring solutionCommands;
};

// Malformed: not a complete envelope, or the expected elements are missing
// or hold no valid value.
SoapParse ParseReportComputerLogResponse(const std::string& xml, ReportComputerLogAnswer& out);
SoapParse ParseGetStatusResponse(const std::string& xml, GetStatusAnswer& out);
