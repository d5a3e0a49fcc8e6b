#include "klarwin/report_text.h"

#include "fw/strutil.h"

namespace {

const wchar_t* const kMonths[12] = {L"JAN", L"FEB", L"MAR", L"APR", L"MAY", L"JUN",
                                    L"JUL", L"AUG", L"SEP", L"OCT", L"NOV", L"DEC"};

std::wstring AttemptSuffix(int attempt) {
    return attempt > 1 ? fw::Format(L"_%d", attempt) : std::wstring();
}

// The page is made of fixed pieces with the values between them; the pieces
// are the report's templates cut at their placeholders.
constexpr wchar_t kHeadStart[] =
    L"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    L"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
    L"<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n"
    L"<head>\r\n"
    L"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\r\n"
    L"<title>KRW Scan Report</title>\r\n"
    L"</head>\r\n"
    L"<body>\r\n"
    L"<table width='70%' align='center' cellpadding='3' border='0'>\r\n"
    L"  <tr><td colspan='2'><h2>KLARWIN CLEANER | Registry Cleaner</h2></td></tr>\r\n"
    L"  <tr><td colspan='2'><h2>Scan Result</h2></td></tr>\r\n"
    L"  <tr><td colspan='2'></td></tr>\r\n";

void AppendHeaderRow(std::wstring& out, const wchar_t* label, std::wstring_view value) {
    out += L"  <tr><td width='25%'><strong>";
    out += label;
    out += L"</strong></td><td width='75%'>";
    AppendHtmlEscaped(out, value);
    out += L"</td></tr>\r\n";
}

constexpr wchar_t kHeadEnd[] =
    L"</table>\r\n"
    L"<hr />\r\n"
    L"<table width='70%' align='center' cellpadding='3'>\r\n"
    L"  <tr><td><strong>Problems affecting this computer.</strong></td></tr>\r\n"
    L"</table>\r\n"
    L"<hr />\r\n";

constexpr wchar_t kBlock1[] =
    L"     <table width='70%' align='center' cellpadding='3' >       <tr>         <td "
    L"width='25%'><strong>Scan subsection:</strong> </td> \t\t<td width='75%'><strong>";
constexpr wchar_t kBlock2[] =
    L"</strong></td>       </tr>       <tr>         <td width='25%'><strong>Type:</strong></td> \t\t<td "
    L"width='75%'>";
constexpr wchar_t kBlockRowMid[] = L"</td>       </tr>       <tr>         <td width='25%'><strong>";
constexpr wchar_t kBlockRowValue[] = L"</strong></td> \t\t<td width='75%'>";
constexpr wchar_t kBlockEnd[] = L"</td>       </tr>     </table>     <hr />";

constexpr wchar_t kFooter[] = L" \t\t\t\t </body> \t\t\t\t </html> \t\t\t";

constexpr wchar_t kNotApplicable[] = L"N/A";

void AppendBlockRow(std::wstring& out, const wchar_t* label, std::wstring_view value) {
    out += kBlockRowMid;
    out += label;
    out += kBlockRowValue;
    AppendHtmlEscaped(out, value);
}

}  // namespace

std::wstring FormatLastScanDate(const LocalTime& time) {
    const wchar_t* month = time.Month >= 1 && time.Month <= 12 ? kMonths[time.Month - 1] : L"";
    return fw::Format(L"%.2d-%s-%d", time.Day, month, time.Year);
}

std::wstring BackupFileName(const LocalTime& time, int attempt) {
    return fw::Format(L"%.4d%.2d%.2d_%.2d%.2d", time.Year, time.Month, time.Day, time.Hour, time.Minute) +
           AttemptSuffix(attempt) + L".dat";
}

std::wstring ReportFileName(std::wstring_view productVersion, const LocalTime& time, int attempt) {
    std::wstring version;
    for (wchar_t c : productVersion)
        if (c != L'.') version += c;
    return L"krw_" + version + L"_" +
           fw::Format(L"%.4d%.2d%.2d_%.2d%.2d%.2d", time.Year, time.Month, time.Day, time.Hour, time.Minute,
                      time.Second) +
           AttemptSuffix(attempt) + L".html";
}

void AppendHtmlEscaped(std::wstring& out, std::wstring_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t* entity = nullptr;
        switch (text[i]) {
            case L'&': entity = L"&amp;"; break;
            case L'<': entity = L"&lt;"; break;
            case L'>': entity = L"&gt;"; break;
            case L'"': entity = L"&quot;"; break;
            case L'\'': entity = L"&#39;"; break;
            default:
                // Characters an XML page cannot hold at all become U+FFFD.
                if ((text[i] < 0x20 && text[i] != L'\t' && text[i] != L'\n' && text[i] != L'\r') ||
                    text[i] == 0xFFFE || text[i] == 0xFFFF)
                    entity = L"\xFFFD";
                else
                    continue;
        }
        out.append(text.substr(start, i - start));
        out += entity;
        start = i + 1;
    }
    out.append(text.substr(start));
}

std::wstring HtmlEscape(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    AppendHtmlEscaped(out, text);
    return out;
}

std::wstring FormatReportDate(const LocalTime& time) {
    return fw::Format(L"%.4d-%.2d-%.2d %.2d:%.2d:%.2d", time.Year, time.Month, time.Day, time.Hour, time.Minute,
                      time.Second);
}

std::wstring BuildHtmlReport(const HtmlReportHeader& header, const CArray<CError>& errors) {
    std::wstring out;
    out.reserve(2048 + static_cast<std::size_t>(errors.GetSize()) * 1200);
    out += kHeadStart;
    AppendHeaderRow(out, L"Version:", header.Version);
    AppendHeaderRow(out, L"Release Date:", header.ReleaseDate);
    AppendHeaderRow(out, L"Web:", kReportWebAddress);
    AppendHeaderRow(out, L"email:", kReportSupportEmail);
    AppendHeaderRow(out, L"Scan date:", FormatReportDate(header.ScanDate));
    AppendHeaderRow(out, L"Total problems found:", fw::Format(L"%.2d", errors.GetSize()));
    out += kHeadEnd;

    for (const CError& e : errors) {
        const bool shortcut = e.Section == kSectionShortcuts;
        out += kBlock1;
        AppendHtmlEscaped(out, GetScanSectionName(e.Section));
        out += kBlock2;
        AppendHtmlEscaped(out, e.Title);
        AppendBlockRow(out, L"Reason:", e.Reason);
        AppendBlockRow(out, L"Section:", shortcut ? std::wstring_view(kNotApplicable) : e.Item.RootName);
        AppendBlockRow(out, L"Sub Key:", shortcut ? std::wstring_view(kNotApplicable) : e.Item.SubKey);
        AppendBlockRow(out, L"Value name:", shortcut ? std::wstring_view(kNotApplicable) : e.Item.ValueName);
        AppendBlockRow(out, L"Value:", shortcut ? std::wstring_view(kNotApplicable) : e.Item.ValueData);
        AppendBlockRow(out, L"File Path:", shortcut ? std::wstring_view(e.FilePath) : std::wstring_view(kNotApplicable));
        out += kBlockEnd;
    }
    out += kFooter;
    return out;
}
