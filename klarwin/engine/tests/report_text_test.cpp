// Dates, file names, escaping and the HTML report page. Natively the page is
// also read back with an XML parser.
#include <gtest/gtest.h>

#include "fw/strutil.h"
#include "klarwin/report_text.h"

#ifdef KLARWIN_TEST_PUGIXML
#include <map>
#include <pugixml.hpp>
#endif

namespace {

CError RegistryError(int section, const std::wstring& data) {
    CError e;
    e.ErrorType = 1;
    e.Section = section;
    e.FilePath = L"C:\\gone.exe";
    e.Reason = L"The value contains an invalid path";
    e.Title = L"The file is missing or invalid.";
    e.Item.RootName = L"HKEY_LOCAL_MACHINE";
    e.Item.SubKey = L"Software\\Test";
    e.Item.ValueName = L"Path";
    e.Item.ValueData = data;
    return e;
}

CError ShortcutError() {
    CError e;
    e.ErrorType = 0;
    e.Section = 11;
    e.FilePath = L"C:\\Users\\me\\link.lnk";
    e.Reason = L"The target file for this shortcut file does not exist.";
    e.Title = L"Missing Shortcut.";
    e.Item.RootName = L"HKEY_CURRENT_USER";
    return e;
}

std::size_t Count(const std::wstring& text, const std::wstring& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

HtmlReportHeader Header() {
    HtmlReportHeader h;
    h.Version = L"3.0.5";
    h.ReleaseDate = L"08-12-2026";
    h.ScanDate = LocalTime{2026, 12, 8, 3, 45, 13};
    return h;
}

}  // namespace

TEST(KlarwinReportText, LastScanDate) {
    EXPECT_TRUE(FormatLastScanDate(LocalTime{2026, 12, 8}) == L"08-DEC-2026");
    EXPECT_TRUE(FormatLastScanDate(LocalTime{2027, 1, 31}) == L"31-JAN-2027");
    EXPECT_TRUE(FormatLastScanDate(LocalTime{2026, 13, 1}) == L"01--2026");
}

TEST(KlarwinReportText, FileNamesSortByTime) {
    LocalTime t{2026, 12, 8, 3, 41, 5};
    EXPECT_TRUE(BackupFileName(t) == L"20261208_0341.dat");
    EXPECT_TRUE(BackupFileName(t, 2) == L"20261208_0341_2.dat");
    EXPECT_LT(BackupFileName(t), BackupFileName(t, 2));
    LocalTime next = t;
    next.Minute = 42;
    EXPECT_LT(BackupFileName(t, 9), BackupFileName(next));
    EXPECT_TRUE(ReportFileName(L"3.0.5", t) == L"krw_305_20261208_034105.html");
    EXPECT_TRUE(ReportFileName(L"3.0.5", t, 2) == L"krw_305_20261208_034105_2.html");
    EXPECT_TRUE(FormatReportDate(t) == L"2026-12-08 03:41:05");
}

TEST(KlarwinReportText, Escaping) {
    EXPECT_TRUE(HtmlEscape(L"a&b<c>d\"e'f") == L"a&amp;b&lt;c&gt;d&quot;e&#39;f");
    EXPECT_TRUE(HtmlEscape(L"plain \x00e4") == L"plain \x00e4");
    std::wstring control = L"x";
    control += static_cast<wchar_t>(1);
    control += static_cast<wchar_t>(0xFFFF);
    EXPECT_TRUE(HtmlEscape(control) == L"x\xFFFD\xFFFD");
    EXPECT_TRUE(HtmlEscape(L"\t\r\n") == L"\t\r\n");
}

TEST(KlarwinReportText, PageBlocksAndCounts) {
    CErrorListEx errors;
    std::wstring page = BuildHtmlReport(Header(), errors);
    EXPECT_NE(page.find(L"Total problems found:</strong></td><td width='75%'>00</td>"), std::wstring::npos);
    EXPECT_EQ(Count(page, L"Scan subsection:"), 0u);
    EXPECT_NE(page.find(L"2026-12-08 03:45:13"), std::wstring::npos);
    const std::wstring footer = L" \t\t\t\t </body> \t\t\t\t </html> \t\t\t";
    EXPECT_TRUE(page.size() > footer.size() && page.substr(page.size() - footer.size()) == footer);

    for (int i = 0; i < 12; ++i) errors.Add(RegistryError(i % 11, L"x"));
    page = BuildHtmlReport(Header(), errors);
    EXPECT_NE(page.find(L"<td width='75%'>12</td>"), std::wstring::npos);
    EXPECT_EQ(Count(page, L"Scan subsection:"), 12u);
    for (int i = 0; i < 111; ++i) errors.Add(ShortcutError());
    page = BuildHtmlReport(Header(), errors);
    EXPECT_NE(page.find(L"<td width='75%'>123</td>"), std::wstring::npos);

    // The block text as the templates give it.
    CErrorListEx one;
    one.Add(ShortcutError());
    page = BuildHtmlReport(Header(), one);
    const std::wstring block =
        L"     <table width='70%' align='center' cellpadding='3' >       <tr>         <td width='25%'><strong>Scan "
        L"subsection:</strong> </td> \t\t<td width='75%'><strong>Program Shortcuts</strong></td>       </tr>       "
        L"<tr>         <td width='25%'><strong>Type:</strong></td> \t\t<td width='75%'>Missing Shortcut.</td>       "
        L"</tr>       <tr>         <td width='25%'><strong>Reason:</strong></td> \t\t<td width='75%'>The target file "
        L"for this shortcut file does not exist.</td>       </tr>       <tr>         <td "
        L"width='25%'><strong>Section:</strong></td> \t\t<td width='75%'>N/A</td>       </tr>       <tr>         <td "
        L"width='25%'><strong>Sub Key:</strong></td> \t\t<td width='75%'>N/A</td>       </tr>       <tr>         <td "
        L"width='25%'><strong>Value name:</strong></td> \t\t<td width='75%'>N/A</td>       </tr>       <tr>         "
        L"<td width='25%'><strong>Value:</strong></td> \t\t<td width='75%'>N/A</td>       </tr>       <tr>         <td "
        L"width='25%'><strong>File Path:</strong></td> \t\t<td width='75%'>C:\\Users\\me\\link.lnk</td>       </tr>    "
        L" </table>     <hr />";
    EXPECT_NE(page.find(block), std::wstring::npos);
}

TEST(KlarwinReportText, PlaceholderTextInAValueIsNotReplaced) {
    CErrorListEx errors;
    errors.Add(RegistryError(2, L"#sub-key# #total-problems#"));
    std::wstring page = BuildHtmlReport(Header(), errors);
    EXPECT_NE(page.find(L"<td width='75%'>#sub-key# #total-problems#</td>"), std::wstring::npos);
}

#ifdef KLARWIN_TEST_PUGIXML
namespace {

std::vector<std::pair<std::string, std::string>> Rows(const pugi::xml_node& table) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (pugi::xml_node tr : table.children("tr")) {
        std::vector<pugi::xml_node> cells;
        for (pugi::xml_node td : tr.children("td")) cells.push_back(td);
        if (cells.size() == 2) rows.emplace_back(cells[0].child_value("strong"), cells[1].text().get());
    }
    return rows;
}

}  // namespace

TEST(KlarwinReportText, PageIsWellFormedXhtml) {
    CErrorListEx errors;
    errors.Add(RegistryError(2, L"<b onclick=\"x()\">it's & \x00e4\x4e2d</b>"));
    errors.Add(ShortcutError());
    errors[0].Reason = L"</td></tr></table><script>alert(1)</script>";
    std::string utf8 = fw::ToUtf8(BuildHtmlReport(Header(), errors));

    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(utf8.data(), utf8.size(), pugi::parse_default | pugi::parse_doctype,
                                                    pugi::encoding_utf8);
    ASSERT_TRUE(parsed) << parsed.description() << " at " << parsed.offset;
    pugi::xml_node html = doc.child("html");
    ASSERT_TRUE(html);
    EXPECT_STREQ(html.attribute("xmlns").value(), "http://www.w3.org/1999/xhtml");
    EXPECT_STREQ(html.child("head").child_value("title"), "KRW Scan Report");
    EXPECT_STREQ(html.child("head").child("meta").attribute("content").value(), "text/html; charset=utf-8");

    pugi::xml_node body = html.child("body");
    std::vector<pugi::xml_node> tables;
    for (pugi::xml_node t : body.children("table")) tables.push_back(t);
    ASSERT_EQ(tables.size(), 4u);  // header, the caption table, one per error

    auto header = Rows(tables[0]);
    std::map<std::string, std::string> values(header.begin(), header.end());
    EXPECT_EQ(values["Version:"], "3.0.5");
    EXPECT_EQ(values["Release Date:"], "08-12-2026");
    EXPECT_EQ(values["Scan date:"], "2026-12-08 03:45:13");
    EXPECT_EQ(values["Total problems found:"], "02");

    auto reg = Rows(tables[2]);
    ASSERT_EQ(reg.size(), 8u);
    EXPECT_EQ(reg[0].first, "Scan subsection:");
    EXPECT_STREQ(tables[2].child("tr").last_child().child_value("strong"), "Sound Files");
    EXPECT_EQ(reg[1].first, "Type:");
    EXPECT_EQ(reg[1].second, "The file is missing or invalid.");
    EXPECT_EQ(reg[2].second, "</td></tr></table><script>alert(1)</script>");
    EXPECT_EQ(reg[3].second, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(reg[4].second, "Software\\Test");
    EXPECT_EQ(reg[5].second, "Path");
    EXPECT_EQ(reg[6].second, fw::ToUtf8(L"<b onclick=\"x()\">it's & \x00e4\x4e2d</b>"));
    EXPECT_EQ(reg[7].first, "File Path:");
    EXPECT_EQ(reg[7].second, "N/A");
    EXPECT_FALSE(body.find_node([](pugi::xml_node n) { return std::string(n.name()) == "script"; }));

    auto lnk = Rows(tables[3]);
    ASSERT_EQ(lnk.size(), 8u);
    for (int i = 3; i <= 6; ++i) EXPECT_EQ(lnk[i].second, "N/A");
    EXPECT_EQ(lnk[7].second, "C:\\Users\\me\\link.lnk");
}
#endif
