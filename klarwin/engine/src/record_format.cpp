#include "klarwin/record_format.h"

#include <climits>
#include <fstream>
#include <iterator>
#include <new>
#include <string>

#include "fw/textfile.h"

namespace {

constexpr std::wstring_view kValueNamePrefix = L"ValueName=";
constexpr std::wstring_view kValueDataPrefix = L"ValueData=";
constexpr std::wstring_view kRecordEndView = L";;\r\n";
constexpr wchar_t kEscapedColon = L'C';
constexpr wchar_t kEscapedSemicolon = L'S';

bool NeedsEscape(std::wstring_view field) {
    if (field.empty()) return false;
    if (field.back() == L':') return true;
    return field.find(kEscapeMarker) != std::wstring_view::npos || field.find(kFieldEnd) != std::wstring_view::npos ||
           field.find(kRecordEndView) != std::wstring_view::npos;
}

void AppendField(std::wstring& out, std::wstring_view field) {
    if (NeedsEscape(field))
        out += EscapeField(field);
    else
        out.append(field);
    out += kFieldEnd;
}

void AppendNumberField(std::wstring& out, int value) {
    out += std::to_wstring(value);
    out += kFieldEnd;
}

// The text of a value-name field without its prefix. Only the one prefix the
// writer puts there is taken off, so a name that itself holds the prefix text
// comes back whole.
std::wstring StripPrefix(std::wstring text, std::wstring_view prefix) {
    if (std::wstring_view(text).substr(0, prefix.size()) == prefix) text.erase(0, prefix.size());
    return text;
}

template <class Parse>
int ReadRecords(std::wstring_view text, Parse parse) {
    int appended = 0;
    CStringArrayEx records = SplitString(text, kRecordEnd);
    for (const std::wstring& record : records) {
        CStringArrayEx fields = SplitString(record, kFieldEnd);
        if (parse(fields)) ++appended;
    }
    return appended;
}

}  // namespace

CStringArrayEx SplitString(std::wstring_view text, std::wstring_view separator) {
    CStringArrayEx pieces;
    if (separator.empty()) return pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t hit = text.find(separator, start);
        if (hit == std::wstring_view::npos) break;
        pieces.Add(std::wstring(text.substr(start, hit - start)));
        start = hit + separator.size();
    }
    return pieces;
}

std::wstring EscapeField(std::wstring_view field) {
    std::wstring out;
    out.reserve(field.size() + 8);
    for (std::size_t i = 0; i < field.size(); ++i) {
        wchar_t c = field[i];
        if (c == kEscapeMarker) {
            out += kEscapeMarker;
            out += kEscapeMarker;
        } else if (c == L':' && (i + 1 == field.size() || field[i + 1] == L':')) {
            out += kEscapeMarker;
            out += kEscapedColon;
        } else if (c == L';' && field.substr(i, kRecordEndView.size()) == kRecordEndView) {
            out += kEscapeMarker;
            out += kEscapedSemicolon;
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring UnescapeField(std::wstring_view field) {
    if (field.find(kEscapeMarker) == std::wstring_view::npos) return std::wstring(field);
    std::wstring out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        wchar_t c = field[i];
        if (c == kEscapeMarker && i + 1 < field.size()) {
            wchar_t code = field[i + 1];
            if (code == kEscapeMarker) {
                out += kEscapeMarker;
                ++i;
                continue;
            }
            if (code == kEscapedColon) {
                out += L':';
                ++i;
                continue;
            }
            if (code == kEscapedSemicolon) {
                out += L';';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

int ParseDecimalField(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - L'0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// ---------------------------------------------------------------------------
// Error line

std::wstring FormatErrorLine(const CError& error) {
    const CRegistryItem& item = error.Item;
    std::wstring out;
    out.reserve(64 + error.FilePath.size() + error.Reason.size() + error.Title.size() + item.RootName.size() +
                item.SubKey.size() + item.ValueName.size() + item.ValueData.size());
    AppendNumberField(out, error.ErrorType);
    AppendNumberField(out, error.Section);
    AppendField(out, error.FilePath);
    AppendField(out, error.Reason);
    AppendField(out, error.Title);
    AppendField(out, item.RootName);
    AppendField(out, ValueTypeName(item.ValueType));
    AppendNumberField(out, item.Tag);
    AppendField(out, item.SubKey);
    AppendField(out, std::wstring(kValueNamePrefix) + item.ValueName);
    AppendField(out, std::wstring(kValueDataPrefix) + item.ValueData);
    out += kRecordEnd;
    return out;
}

bool ParseErrorFields(const CStringArrayEx& fields, CError& error) {
    if (fields.GetSize() < 11) return false;
    CError e;
    e.ErrorType = ParseDecimalField(UnescapeField(fields[0]));
    e.Section = ParseDecimalField(UnescapeField(fields[1]));
    e.FilePath = UnescapeField(fields[2]);
    e.Reason = UnescapeField(fields[3]);
    e.Title = UnescapeField(fields[4]);
    e.Item.RootName = UnescapeField(fields[5]);
    e.Item.RootKey = RootKeyFromName(e.Item.RootName);
    e.Item.ValueType = ValueTypeFromName(UnescapeField(fields[6]));
    e.Item.Tag = ParseDecimalField(UnescapeField(fields[7]));
    e.Item.SubKey = UnescapeField(fields[8]);
    e.Item.ValueName = StripPrefix(UnescapeField(fields[9]), kValueNamePrefix);
    e.Item.ValueData = StripPrefix(UnescapeField(fields[10]), kValueDataPrefix);
    error = std::move(e);
    return true;
}

bool ParseErrorLine(std::wstring_view record, CError& error) {
    return ParseErrorFields(SplitString(record, kFieldEnd), error);
}

// ---------------------------------------------------------------------------
// Ignore line

std::wstring FormatIgnoreLine(const CRegistryItem& item) {
    std::wstring out;
    AppendField(out, item.RootName);
    AppendField(out, ValueTypeName(item.ValueType));
    AppendField(out, item.SubKey);
    AppendField(out, std::wstring(kValueNamePrefix) + item.ValueName);
    out += kRecordEnd;
    return out;
}

bool ParseIgnoreFields(const CStringArrayEx& fields, CRegistryItem& item) {
    if (fields.GetSize() < 4) return false;
    CRegistryItem r;
    r.RootName = UnescapeField(fields[0]);
    r.RootKey = RootKeyFromName(r.RootName);
    r.ValueType = ValueTypeFromName(UnescapeField(fields[1]));
    r.SubKey = UnescapeField(fields[2]);
    r.ValueName = StripPrefix(UnescapeField(fields[3]), kValueNamePrefix);
    item = std::move(r);
    return true;
}

bool ParseIgnoreLine(std::wstring_view record, CRegistryItem& item) {
    return ParseIgnoreFields(SplitString(record, kFieldEnd), item);
}

// ---------------------------------------------------------------------------
// Backup line

std::wstring FormatBackupLine(int kind, const CRegistryItem& item) {
    std::wstring out;
    AppendNumberField(out, kind);
    AppendField(out, item.RootName);
    AppendField(out, ValueTypeName(item.ValueType));
    AppendField(out, item.SubKey);
    AppendField(out, std::wstring(kValueNamePrefix) + item.ValueName);
    AppendField(out, item.ValueData);
    out += kRecordEnd;
    return out;
}

bool ParseBackupFields(const CStringArrayEx& fields, int& kind, CRegistryItem& item) {
    if (fields.GetSize() < 6) return false;
    CRegistryItem r;
    kind = ParseDecimalField(UnescapeField(fields[0]));
    r.RootName = UnescapeField(fields[1]);
    r.RootKey = RootKeyFromName(r.RootName);
    r.ValueType = ValueTypeFromName(UnescapeField(fields[2]));
    r.SubKey = UnescapeField(fields[3]);
    r.ValueName = StripPrefix(UnescapeField(fields[4]), kValueNamePrefix);
    r.ValueData = UnescapeField(fields[5]);
    item = std::move(r);
    return true;
}

bool ParseBackupLine(std::wstring_view record, int& kind, CRegistryItem& item) {
    return ParseBackupFields(SplitString(record, kFieldEnd), kind, item);
}

// ---------------------------------------------------------------------------
// Whole texts

std::wstring FormatErrorRecords(const CArray<CError>& errors) {
    std::wstring out;
    for (const CError& e : errors) out += FormatErrorLine(e);
    return out;
}

std::wstring FormatIgnoreRecords(const CArray<CRegistryItem>& items) {
    std::wstring out;
    for (const CRegistryItem& item : items) out += FormatIgnoreLine(item);
    return out;
}

int ReadErrorRecords(std::wstring_view text, CArray<CError>& errors) {
    return ReadRecords(text, [&errors](const CStringArrayEx& fields) {
        CError e;
        if (!ParseErrorFields(fields, e)) return false;
        errors.Add(std::move(e));
        return true;
    });
}

int ReadIgnoreRecords(std::wstring_view text, CArray<CRegistryItem>& items) {
    return ReadRecords(text, [&items](const CStringArrayEx& fields) {
        CRegistryItem item;
        if (!ParseIgnoreFields(fields, item)) return false;
        items.Add(std::move(item));
        return true;
    });
}

int ReadBackupRecords(std::wstring_view text, CArray<BackupRecord>& records, bool* complete) {
    int appended = 0;
    CStringArrayEx lines = SplitString(text, kRecordEnd);
    for (const std::wstring& line : lines) {
        BackupRecord r;
        if (!ParseBackupLine(line, r.Kind, r.Item)) {
            if (complete) *complete = false;
            return appended;
        }
        records.Add(std::move(r));
        ++appended;
    }
    if (complete) *complete = true;
    return appended;
}

// ---------------------------------------------------------------------------
// Files

RecordFileResult ReadRecordText(const std::filesystem::path& path, std::wstring& text) {
    text.clear();
    try {
        std::error_code ec;
        auto status = std::filesystem::status(path, ec);
        if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
            return RecordFileResult::NotFound;
        std::ifstream in(path, std::ios::binary);
        if (!in) return RecordFileResult::ReadError;
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) return RecordFileResult::ReadError;
        bytes.resize(bytes.size() & ~static_cast<std::size_t>(1));
        if (!fw::DecodeUtf16Le(bytes, text)) return RecordFileResult::ReadError;
        if (!text.empty() && text.front() == static_cast<wchar_t>(0xFEFF)) text.erase(0, 1);
        return RecordFileResult::Ok;
    } catch (const std::exception&) {
        text.clear();
        return RecordFileResult::ReadError;
    }
}

RecordFileResult WriteRecordText(const std::filesystem::path& path, std::wstring_view text) {
    return fw::WriteUtf16File(path, text, false) ? RecordFileResult::Ok : RecordFileResult::WriteError;
}

RecordFileResult LoadErrorFile(const std::filesystem::path& path, CArray<CError>& errors) {
    std::wstring text;
    RecordFileResult r = ReadRecordText(path, text);
    if (r == RecordFileResult::Ok) ReadErrorRecords(text, errors);
    return r;
}

RecordFileResult SaveErrorFile(const std::filesystem::path& path, const CArray<CError>& errors) {
    return WriteRecordText(path, FormatErrorRecords(errors));
}

RecordFileResult LoadIgnoreFile(const std::filesystem::path& path, CArray<CRegistryItem>& items) {
    std::wstring text;
    RecordFileResult r = ReadRecordText(path, text);
    if (r == RecordFileResult::Ok) ReadIgnoreRecords(text, items);
    return r;
}

RecordFileResult SaveIgnoreFile(const std::filesystem::path& path, const CArray<CRegistryItem>& items) {
    return WriteRecordText(path, FormatIgnoreRecords(items));
}

RecordFileResult AppendBackupFile(const std::filesystem::path& path, int kind, const CRegistryItem& item) {
    return fw::AppendUtf16File(path, FormatBackupLine(kind, item), false) ? RecordFileResult::Ok
                                                                          : RecordFileResult::WriteError;
}
