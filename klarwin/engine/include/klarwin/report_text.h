// Texts the engine builds without touching the system: the last-scan date,
// the names of backup and report files, HTML escaping and the HTML scan
// report page. Platform-neutral.
#pragma once

#include <string>
#include <string_view>

#include "klarwin/scan_records.h"

// A local date and time, as the system clock gives it.
struct LocalTime {
    int Year = 0;
    int Month = 1;  // 1-12
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

// "08-DEC-2026": two-digit day, upper-case month abbreviation, year. A month
// outside 1-12 gives an empty abbreviation.
std::wstring FormatLastScanDate(const LocalTime& time);

// Backup file name of a repair started at `time`: "20261208_0341.dat"; the
// `attempt`-th name of the same minute (2, 3, ...) is "20261208_0341_2.dat",
// which sorts after the first one of that minute.
std::wstring BackupFileName(const LocalTime& time, int attempt = 1);

// Report file name: "krw_305_20261208_034513.html" from the product version
// (dots removed) and the time; the `attempt`-th name of the same second gets
// "_2", "_3", ... before ".html".
std::wstring ReportFileName(std::wstring_view productVersion, const LocalTime& time, int attempt = 1);

// "&", "<", ">", '"' and "'" replaced by their character references.
std::wstring HtmlEscape(std::wstring_view text);
void AppendHtmlEscaped(std::wstring& out, std::wstring_view text);

// The values of the report's header rows.
struct HtmlReportHeader {
    std::wstring Version;      // the product version, with its dots
    std::wstring ReleaseDate;
    LocalTime ScanDate;        // when the report was made
};

constexpr wchar_t kReportWebAddress[] = L"http://www.klarwin.com";
constexpr wchar_t kReportSupportEmail[] = L"support@klarwin.com";

// "2026-12-08 03:45:13".
std::wstring FormatReportDate(const LocalTime& time);

// The whole XHTML page: header, one block per error in list order, footer.
// Every value taken from the errors or the header is escaped, so the page is
// well-formed whatever the registry held.
std::wstring BuildHtmlReport(const HtmlReportHeader& header, const CArray<CError>& errors);
