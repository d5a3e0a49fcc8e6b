// The log service's request texts and the reading of its answers.
#include <gtest/gtest.h>

#include <string>

#include "klarwin/online/soap_text.h"
#include "klarwin/online/solution_text.h"

namespace {

const std::wstring kNs = L"http://klarwin.example/LogService/";

std::string Wrap(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>" +
           body + "</soap:Body></soap:Envelope>";
}

TEST(SoapTextTest, OnlineSoapRequestEscapesTheReportInsideLog) {
    std::wstring html = L"<html><body><p class=\"x\">A & B's \u00e9\u4e2d</p></body></html>";
    std::string xml = BuildReportComputerLogRequest(kNs, L"a@b.example", L"1.0.0", html, L"slow <pc>", -1);
    EXPECT_NE(xml.find("<ReportComputerLog xmlns=\"http://klarwin.example/LogService/\"><Email>a@b.example</Email>"
                       "<ProductVersion>1.0.0</ProductVersion><Log>&lt;html&gt;&lt;body&gt;&lt;p class=&quot;x&quot;&gt;"
                       "A &amp; B&apos;s \xc3\xa9\xe4\xb8\xad&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</Log>"
                       "<Description>slow &lt;pc&gt;</Description><LogID>-1</LogID></ReportComputerLog>"),
              std::string::npos)
        << xml;
    // No raw markup of the report survives outside the elements.
    EXPECT_EQ(xml.find("<html>"), std::string::npos);

    std::string status = BuildGetStatusRequest(kNs, -1, L"");
    EXPECT_NE(status.find("<GetStatus xmlns=\"http://klarwin.example/LogService/\"><ID>-1</ID><Email></Email>"
                          "<Comments></Comments><SolutionCommands></SolutionCommands></GetStatus>"),
              std::string::npos);
}

TEST(SoapTextTest, OnlineSoapAnswersReadBack) {
    ReportComputerLogAnswer report;
    EXPECT_EQ(ParseReportComputerLogResponse(
                  Wrap("<ReportComputerLogResponse xmlns=\"urn:x\"><ReportComputerLogResult>true"
                       "</ReportComputerLogResult><LogID>4711</LogID></ReportComputerLogResponse>"),
                  report),
              SoapParse::Ok);
    EXPECT_TRUE(report.result);
    EXPECT_EQ(report.logId, 4711);

    GetStatusAnswer status;
    EXPECT_EQ(ParseGetStatusResponse(Wrap("<tns:GetStatusResponse xmlns:tns=\"urn:x\"><tns:GetStatusResult>1"
                                          "</tns:GetStatusResult><tns:Comments>Fixed &amp; done &#233;&#x4E2D;"
                                          "</tns:Comments><tns:SolutionCommands>2%C:\\a.exe;1%b.exe"
                                          "</tns:SolutionCommands></tns:GetStatusResponse>"),
                                     status),
              SoapParse::Ok);
    EXPECT_EQ(status.result, 1);
    EXPECT_EQ(status.comments, L"Fixed & done \u00e9\u4e2d");
    EXPECT_EQ(status.solutionCommands, L"2%C:\\a.exe;1%b.exe");

    // Blanks around numbers and booleans, as XML allows them.
    EXPECT_EQ(ParseReportComputerLogResponse(
                  Wrap("<ReportComputerLogResponse><ReportComputerLogResult>\r\n true </ReportComputerLogResult>"
                       "<LogID>\t-42 \n</LogID></ReportComputerLogResponse>"),
                  report),
              SoapParse::Ok);
    EXPECT_TRUE(report.result);
    EXPECT_EQ(report.logId, -42);
    EXPECT_EQ(ParseGetStatusResponse(Wrap("<GetStatusResponse><GetStatusResult> 2 </GetStatusResult>"
                                          "</GetStatusResponse>"),
                                     status),
              SoapParse::Ok);
    EXPECT_EQ(status.result, 2);

    // Empty elements and a missing optional text.
    EXPECT_EQ(ParseGetStatusResponse(Wrap("<GetStatusResponse><GetStatusResult>0</GetStatusResult>"
                                          "<Comments/></GetStatusResponse>"),
                                     status),
              SoapParse::Ok);
    EXPECT_EQ(status.result, 0);
    EXPECT_TRUE(status.comments.empty());
}

TEST(SoapTextTest, OnlineSoapFaultsAndBrokenAnswersAreRecognised) {
    ReportComputerLogAnswer report;
    EXPECT_EQ(ParseReportComputerLogResponse(
                  Wrap("<soap:Fault><faultcode>soap:Server</faultcode><faultstring>no</faultstring></soap:Fault>"),
                  report),
              SoapParse::Fault);
    const char* broken[] = {
        "",
        "<?xml version=\"1.0\"?><soap:Envelope><soap:Body><Rep",
        "not xml at all",
        "<soap:Envelope><soap:Body><ReportComputerLogResponse><ReportComputerLogResult>yes"
        "</ReportComputerLogResult><LogID>1</LogID></ReportComputerLogResponse></soap:Body></soap:Envelope>",
        "<soap:Envelope><soap:Body><ReportComputerLogResponse><ReportComputerLogResult>true"
        "</ReportComputerLogResult><LogID>12x</LogID></ReportComputerLogResponse></soap:Body></soap:Envelope>",
        "<soap:Envelope><soap:Body><ReportComputerLogResponse><ReportComputerLogResult>true"
        "</ReportComputerLogResult></ReportComputerLogResponse></soap:Body></soap:Envelope>",
        "<soap:Envelope><soap:Body><ReportComputerLogResponse><ReportComputerLogResult>true"
        "</ReportComputerLogResult><LogID>99999999999</LogID></ReportComputerLogResponse></soap:Body></soap:Envelope>",
        "<soap:Envelope><soap:Body><ReportComputerLogResponse><ReportComputerLogResult>true"
        "</ReportComputerLogResult><LogID>1 2</LogID></ReportComputerLogResponse></soap:Body></soap:Envelope>",
        "<soap:Envelope><soap:Body><ReportComputerLogResponse><ReportComputerLogResult>true"
        "</ReportComputerLogResult><LogID> </LogID></ReportComputerLogResponse></soap:Body></soap:Envelope>",
    };
    for (const char* text : broken) {
        report = {};
        EXPECT_EQ(ParseReportComputerLogResponse(text, report), SoapParse::Malformed) << text;
        EXPECT_FALSE(report.result);
    }
    GetStatusAnswer status;
    EXPECT_EQ(ParseGetStatusResponse(Wrap("<GetStatusResponse><GetStatusResult>1</GetStatusResult>"
                                          "<Comments>a &bogus; b</Comments></GetStatusResponse>"),
                                     status),
              SoapParse::Malformed);
    EXPECT_EQ(ParseGetStatusResponse(Wrap("<GetStatusResponse><GetStatusResult>1</GetStatusResult>"
                                          "<Comments>&#0;</Comments></GetStatusResponse>"),
                                     status),
              SoapParse::Malformed);
}

TEST(SoapTextTest, OnlineSoapUtf8ConversionKeepsEveryUnit) {
    std::wstring text = L"a\u00e9\u4e2d";
    text += static_cast<wchar_t>(0xD83D);  // a surrogate pair: U+1F600
    text += static_cast<wchar_t>(0xDE00);
    std::string utf8 = Utf16ToUtf8(text);
    EXPECT_EQ(utf8, "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80");
    EXPECT_EQ(Utf8ToUtf16(utf8), text);
    // A lone surrogate and broken sequences become U+FFFD, nothing is lost after them.
    std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(Utf16ToUtf8(lone + L"x"), "\xef\xbf\xbdx");
    EXPECT_EQ(Utf8ToUtf16("\xc3"), std::wstring(1, static_cast<wchar_t>(0xFFFD)));
    EXPECT_EQ(Utf8ToUtf16("\xe4\xb8x"), std::wstring(1, static_cast<wchar_t>(0xFFFD)) + L"\xFFFD" + L"x");
    EXPECT_EQ(Utf8ToUtf16("\xc0\xaf"), std::wstring(2, static_cast<wchar_t>(0xFFFD)));
}

// The solution commands as the service sends them: only plain numbers 1 to 6
// make a command; empty pieces are skipped.
TEST(SolutionTextTest, OnlineSolutionCommandsAndTheirNumbers) {
    EXPECT_EQ(ReadSolutionCommands(L";;2%C:\\a.exe; 1 %b.exe;1abc%c.exe;2x%d;0%e;7%f;+3%g;%;5;6%{X}%more;"),
              (std::vector<SolutionCommand>{{2, L"C:\\a.exe"}, {1, L"b.exe"}, {6, L"{X}"}}));
    int n = 0;
    EXPECT_TRUE(ReadCommandNumber(L"\t4\r\n", n));
    EXPECT_EQ(n, 4);
    for (const wchar_t* bad : {L"", L" ", L"1abc", L"1 2", L"-1", L"99999999999", L"\x0661"})
        EXPECT_FALSE(ReadCommandNumber(bad, n)) << bad;

    RegistryValueTarget target;
    EXPECT_TRUE(ReadRegistryValueTarget(L"HKEY_CURRENT_USER:Software\\X::Value:extra", target));
    EXPECT_EQ(target.root, L"HKEY_CURRENT_USER");
    EXPECT_EQ(target.subkey, L"Software\\X");
    EXPECT_EQ(target.value, L"Value");
    EXPECT_FALSE(ReadRegistryValueTarget(L"HKEY_CURRENT_USER:Software", target));
}

}  // namespace
