// Arbitrary bytes as a record file: the splitter and the three readers must
// neither crash nor lose what they read. Each record read is formatted again
// and must read back as the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "klarwin/record_format.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckSplit(std::wstring_view text, std::wstring_view separator) {
    CStringArrayEx pieces = SplitString(text, separator);
    std::wstring rebuilt;
    for (const std::wstring& piece : pieces) {
        Check(piece.find(separator) == std::wstring::npos);
        rebuilt += piece;
        rebuilt += separator;
    }
    // The pieces and separators are the text up to its last separator.
    Check(text.substr(0, rebuilt.size()) == rebuilt);
    if (separator.empty())
        Check(pieces.IsEmpty());
    else
        Check(text.substr(rebuilt.size()).find(separator) == std::wstring_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

    CheckSplit(text, kRecordEnd);
    CheckSplit(text, kFieldEnd);
    CheckSplit(text, std::wstring_view(text).substr(0, text.size() % 5));

    // Escaping reverses exactly, whatever the text.
    Check(UnescapeField(EscapeField(text)) == text);
    Check(EscapeField(text).find(kFieldEnd) == std::wstring::npos);

    CErrorListEx errors;
    int n = ReadErrorRecords(text, errors);
    Check(n == errors.GetSize());
    CErrorListEx again;
    Check(ReadErrorRecords(FormatErrorRecords(errors), again) == n);
    for (int i = 0; i < n; ++i) Check(again[i] == errors[i]);

    CRegistryItemListEx items;
    n = ReadIgnoreRecords(text, items);
    CRegistryItemListEx itemsAgain;
    Check(ReadIgnoreRecords(FormatIgnoreRecords(items), itemsAgain) == n);
    for (int i = 0; i < n; ++i) Check(itemsAgain[i] == items[i]);

    CArray<BackupRecord> backups;
    bool complete = false;
    n = ReadBackupRecords(text, backups, &complete);
    std::wstring backupText;
    for (const BackupRecord& r : backups) backupText += FormatBackupLine(r.Kind, r.Item);
    CArray<BackupRecord> backupsAgain;
    bool completeAgain = false;
    Check(ReadBackupRecords(backupText, backupsAgain, &completeAgain) == n && completeAgain);
    for (int i = 0; i < n; ++i) Check(backupsAgain[i].Kind == backups[i].Kind && backupsAgain[i].Item == backups[i].Item);
    return 0;
}
