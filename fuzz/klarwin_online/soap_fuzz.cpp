// Arbitrary bytes as the log service's answer: both readers must neither crash
// nor accept what they cannot give back. Whatever a reader accepts is written
// again as a plain answer and must read back the same; the UTF-8 conversion
// keeps every unit of what it produced.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "klarwin/online/soap_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string Wrap(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>" +
           body + "</soap:Body></soap:Envelope>";
}

std::string Text(const std::wstring& text) { return XmlEscape(Utf16ToUtf8(text)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string xml(reinterpret_cast<const char*>(data), size);

    ReportComputerLogAnswer report;
    report.logId = 12345;
    const SoapParse reportParse = ParseReportComputerLogResponse(xml, report);
    if (reportParse == SoapParse::Ok) {
        ReportComputerLogAnswer again;
        Check(ParseReportComputerLogResponse(
                  Wrap("<ReportComputerLogResponse><ReportComputerLogResult>" +
                       std::string(report.result ? "true" : "false") + "</ReportComputerLogResult><LogID> " +
                       std::to_string(report.logId) + " </LogID></ReportComputerLogResponse>"),
                  again) == SoapParse::Ok);
        Check(again.result == report.result && again.logId == report.logId);
    } else {
        // A refused answer leaves the caller's values alone.
        Check(report.logId == 12345 && !report.result);
    }

    GetStatusAnswer status;
    if (ParseGetStatusResponse(xml, status) == SoapParse::Ok) {
        GetStatusAnswer again;
        Check(ParseGetStatusResponse(Wrap("<GetStatusResponse><GetStatusResult>" + std::to_string(status.result) +
                                          "</GetStatusResult><Comments>" + Text(status.comments) +
                                          "</Comments><SolutionCommands>" + Text(status.solutionCommands) +
                                          "</SolutionCommands></GetStatusResponse>"),
                                     again) == SoapParse::Ok);
        Check(again.result == status.result);
        Check(again.comments == status.comments);
        Check(again.solutionCommands == status.solutionCommands);
    }

    // What the conversion makes of any bytes goes back and forth unchanged,
    // and escaping leaves no markup.
    const std::wstring wide = Utf8ToUtf16(xml);
    Check(Utf8ToUtf16(Utf16ToUtf8(wide)) == wide);
    Check(XmlEscape(xml).find_first_of("<>\"'") == std::string::npos);
    return 0;
}
