#include "klarwin/backup_files.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "fw/strutil.h"
#include "fw/win/registry.h"

LocalTime CurrentLocalTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LocalTime t;
    t.Year = st.wYear;
    t.Month = st.wMonth;
    t.Day = st.wDay;
    t.Hour = st.wHour;
    t.Minute = st.wMinute;
    t.Second = st.wSecond;
    return t;
}

std::wstring ProgramFilePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::wstring();
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() >= 32768) return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring ProgramFolder() {
    std::wstring path = ProgramFilePath();
    std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring DefaultBackupFolder() {
    return ProgramFolder() + L"\\backup";
}

bool EnsureFolder(const std::wstring& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(folder), ec);
    DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring CreateBackupFile(const std::wstring& folder, const LocalTime& time) {
    if (!EnsureFolder(folder)) return std::wstring();
    // CREATE_NEW fails on an existing name, so two repairs (or two processes)
    // can never end up in the same file.
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        std::wstring path = folder + L"\\" + BackupFileName(time, attempt);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return path;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return std::wstring();
    }
    return std::wstring();
}

std::wstring CreateBackupFile(const std::wstring& folder) {
    return CreateBackupFile(folder, CurrentLocalTime());
}

bool AppendBackupLine(const std::wstring& path, int kind, const CRegistryItem& item) {
    if (path.empty()) return false;
    return AppendBackupFile(std::filesystem::path(path), kind, item) == RecordFileResult::Ok;
}

bool ReadValueForBackup(HKEY root, const std::wstring& subKey, const std::wstring& valueName, CRegistryItem& item) {
    CRegKey key;
    if (key.Open(root, subKey.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (key.QueryValue(valueName.c_str(), type, data) != ERROR_SUCCESS) return false;
    if (type == REG_DWORD) {
        if (data.size() != sizeof(DWORD)) return false;
        DWORD number = 0;
        memcpy(&number, data.data(), sizeof number);
        item.ValueType = kValueTypeDword;
        item.ValueData = fw::Format(L"%lu", static_cast<unsigned long>(number));
        return true;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    // The stored terminator is not part of the text; everything before it is.
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    item.ValueType = type == REG_EXPAND_SZ ? kValueTypeExpandString : kValueTypeString;
    item.ValueData = std::move(text);
    return true;
}

namespace {

// Decimal text of a REG_DWORD as backups hold it: unsigned, or a negative
// number as the same 32 bits.
DWORD ParseDwordText(const std::wstring& text) {
    long long number = 0;
    std::wstring trimmed = fw::Trim(text);
    if (!fw::ParseInt(trimmed, number)) return static_cast<DWORD>(ParseDecimalField(text));
    return static_cast<DWORD>(static_cast<unsigned long long>(number) & 0xFFFFFFFFull);
}

bool RestoreLine(const BackupRecord& record) {
    const CRegistryItem& item = record.Item;
    HKEY root = reinterpret_cast<HKEY>(item.RootKey);
    if (record.Kind == kErrorValue) {
        CRegKey key;
        if (key.Create(root, item.SubKey.c_str(), KEY_WRITE) != ERROR_SUCCESS) return false;
        if (item.ValueType == kValueTypeDword)
            return key.SetDWORDValue(item.ValueName.c_str(), ParseDwordText(item.ValueData)) == ERROR_SUCCESS;
        DWORD type = item.ValueType == kValueTypeExpandString ? REG_EXPAND_SZ : REG_SZ;
        return key.SetValue(item.ValueName.c_str(), type, item.ValueData.c_str(),
                            (item.ValueData.size() + 1) * sizeof(wchar_t)) == ERROR_SUCCESS;
    }
    if (record.Kind == kErrorKey) {
        CRegKey key;
        return key.Create(root, item.SubKey.c_str(), KEY_WRITE) == ERROR_SUCCESS;
    }
    return true;
}

}  // namespace

namespace {

std::wstring LocationText(const BackupRecord& record) {
    std::wstring text = record.Item.RootName + L"\\" + record.Item.SubKey;
    if (record.Kind == kErrorValue) text += L"\\" + record.Item.ValueName;
    return text;
}

RestoreResult Finish(RestoreReport* report, RestoreResult result) {
    if (report) report->Result = result;
    return result;
}

}  // namespace

RestoreResult RestoreBackupFile(const std::wstring& path, const std::wstring& ignoreFile, RestoreReport* report) {
    if (report) *report = RestoreReport();
    std::wstring text;
    switch (ReadRecordText(std::filesystem::path(path), text)) {
        case RecordFileResult::Ok: break;
        case RecordFileResult::NotFound: return Finish(report, RestoreResult::NotFound);
        default: return Finish(report, RestoreResult::ReadError);
    }
    CArray<BackupRecord> records;
    bool complete = false;
    ReadBackupRecords(text, records, &complete);
    bool allWritten = true;
    for (const BackupRecord& record : records) {
        if (RestoreLine(record)) {
            if (report) ++report->Restored;
        } else {
            allWritten = false;
            if (report) report->NotWritten.Add(LocationText(record));
        }
    }
    if (report) report->Damaged = !complete;
    if (!complete) return Finish(report, RestoreResult::Incomplete);
    if (!ignoreFile.empty()) DeleteFileW(ignoreFile.c_str());
    return Finish(report, allWritten ? RestoreResult::Ok : RestoreResult::WriteFailed);
}
