// Text forms of the scan records: the error line ("unresolvederrors.dat"), the
// ignore line ("log.dat") and the backup line (backup files), the splitter that
// reads them, and the UTF-16LE files that hold them. Platform-neutral.
//
// A record is a sequence of fields, each followed by "::", and ends with
// ";;\r\n". A field whose text would break that framing is written escaped:
// the marker U+FFFF stands before an escaped character,
//     U+FFFF U+FFFF  the marker itself
//     U+FFFF 'C'     a colon that is part of "::" or ends the field
//     U+FFFF 'S'     the first semicolon of ";;\r\n"
// and is the only thing added. Every other field (no marker, no "::", no
// ";;\r\n", not ending in a colon) is written exactly as it is, so files whose
// fields need no escaping are byte for byte what the plain formats give, and
// such files written before read as they always did. A field without the marker
// is read as it is; in a field with the marker, a marker followed by anything
// else than the three codes above is kept as written.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "klarwin/scan_records.h"

constexpr wchar_t kFieldEnd[] = L"::";
constexpr wchar_t kRecordEnd[] = L";;\r\n";
constexpr wchar_t kEscapeMarker = static_cast<wchar_t>(0xFFFF);

// Every piece of `text` that is followed by an occurrence of `separator`, in
// order; adjacent separators give empty pieces; text after the last occurrence
// is dropped. An empty separator gives no pieces.
CStringArrayEx SplitString(std::wstring_view text, std::wstring_view separator);

// Field escaping (see above).
std::wstring EscapeField(std::wstring_view field);
std::wstring UnescapeField(std::wstring_view field);

// Decimal reading of a field: optional white space and sign, then digits up to
// the first other character; no digits read as 0, out-of-range values are cut
// to the int range.
int ParseDecimalField(std::wstring_view text);

// Error line: "%d::%d::%s::%s::%s::%s::%s::%d::%s::ValueName=%s::ValueData=%s::;;\r\n"
// with ErrorType, Section, FilePath, Reason, Title, Item.RootName, type name,
// Item.Tag, Item.SubKey, Item.ValueName, Item.ValueData. Protected is not kept.
std::wstring FormatErrorLine(const CError& error);
// Parses the fields of one record (at least eleven); false when there are fewer.
bool ParseErrorFields(const CStringArrayEx& fields, CError& error);
// Parses one record's text (without its ";;\r\n").
bool ParseErrorLine(std::wstring_view record, CError& error);

// Ignore line: "%s::%s::%s::ValueName=%s::;;\r\n" with RootName, type name,
// SubKey, ValueName. Reading leaves ValueData empty and Tag 0.
std::wstring FormatIgnoreLine(const CRegistryItem& item);
bool ParseIgnoreFields(const CStringArrayEx& fields, CRegistryItem& item);
bool ParseIgnoreLine(std::wstring_view record, CRegistryItem& item);

// Backup line: "%d::%s::%s::%s::ValueName=%s::%s::;;\r\n" with the kind (1 a
// value, 2 a key), RootName, type name, SubKey, ValueName, ValueData.
std::wstring FormatBackupLine(int kind, const CRegistryItem& item);
bool ParseBackupFields(const CStringArrayEx& fields, int& kind, CRegistryItem& item);
bool ParseBackupLine(std::wstring_view record, int& kind, CRegistryItem& item);

// One backup line as read.
struct BackupRecord {
    int Kind = 0;
    CRegistryItem Item;
};

// Whole texts. The readers append every complete record to the list, in text
// order, and skip records with too few fields; they return how many records
// they appended.
std::wstring FormatErrorRecords(const CArray<CError>& errors);
std::wstring FormatIgnoreRecords(const CArray<CRegistryItem>& items);
int ReadErrorRecords(std::wstring_view text, CArray<CError>& errors);
int ReadIgnoreRecords(std::wstring_view text, CArray<CRegistryItem>& items);
// Backup files are applied in order and stop at the first short record
// (later lines are not applied); `complete` tells whether the text was read to
// its end without such a record.
int ReadBackupRecords(std::wstring_view text, CArray<BackupRecord>& records, bool* complete = nullptr);

// Record files: UTF-16LE without byte-order mark.
enum class RecordFileResult {
    Ok,
    NotFound,    // nothing read; the list is as it was
    ReadError,   // the file exists but could not be read; the list is as it was
    WriteError,  // the file could not be written; an old file is left as it was
};

// Reads the whole file as UTF-16LE text (a leading byte-order mark is skipped,
// a trailing odd byte ignored).
RecordFileResult ReadRecordText(const std::filesystem::path& path, std::wstring& text);
// Replaces the file with the text (written to a temporary file first).
RecordFileResult WriteRecordText(const std::filesystem::path& path, std::wstring_view text);

RecordFileResult LoadErrorFile(const std::filesystem::path& path, CArray<CError>& errors);
RecordFileResult SaveErrorFile(const std::filesystem::path& path, const CArray<CError>& errors);
RecordFileResult LoadIgnoreFile(const std::filesystem::path& path, CArray<CRegistryItem>& items);
RecordFileResult SaveIgnoreFile(const std::filesystem::path& path, const CArray<CRegistryItem>& items);
// Appends one backup line at the end of the file (created when missing).
RecordFileResult AppendBackupFile(const std::filesystem::path& path, int kind, const CRegistryItem& item);
