// Helpers of the engine tests: a window that records the engine's messages,
// an engine whose files live in a folder of the test, and saving and putting
// back registry values the tests change.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "klarwin/brisko_engine.h"
#include "scan_test_support.h"

namespace enginetest {

struct Message {
    UINT message;
    WPARAM wParam;
    std::wstring text;  // of the messages that carry a string
};

// Records the scan, repair and backup messages and frees their strings.
class Recorder : public scantest::MessageWindow {
public:
    Recorder();
    ~Recorder() override { Close(); }
    const std::vector<Message>& Messages() const { return m_messages; }
    std::vector<Message> Only(UINT message) const;
    void Clear() { m_messages.clear(); }
    // Pumps until a message of that kind arrived; false on time-out.
    bool PumpUntil(UINT message, DWORD timeoutMs = 60000);

protected:
    void Handle(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<Message> m_messages;
};

// Remembers a registry value (or its absence) and puts it back on destruction.
class SavedValue {
public:
    SavedValue(HKEY root, std::wstring key, std::wstring name);
    ~SavedValue();
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

private:
    HKEY m_root;
    std::wstring m_key;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

// An engine over a folder of its own (backups, data files, reports), with the
// pauses off and its messages going to a recorder.
struct EngineRun {
    EngineRun();
    ~EngineRun();
    scantest::TempFolder folder;
    Recorder recorder;
    // A repair stores how many errors it left in Klarwin's settings.
    SavedValue ignoredCount{HKEY_LOCAL_MACHINE, kSettingsKey, L"IgnoredErrorsCount"};
    std::unique_ptr<CBriskoEngine> engine;
    std::wstring BackupFolder() const { return folder.Path() + L"\\backup"; }
    std::wstring DataFolder() const { return folder.Path() + L"\\data"; }
    std::wstring ReportsFolder() const { return folder.Path() + L"\\reports"; }
    // Starts a repair and pumps until it ended; false on failure or time-out.
    bool Repair(int count);
    // Runs a scan of the given sections to its end.
    bool Scan(std::initializer_list<int> sections);
    std::vector<std::wstring> BackupFiles() const;
};

// Reads a value's type and its data as a string (REG_SZ / REG_EXPAND_SZ,
// without the terminator) or number; false when missing.
bool ReadValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& type, std::wstring& text,
               DWORD& number);
bool FileExists(const std::wstring& path);
std::wstring ReadFileText(const std::wstring& path);  // UTF-16LE

}  // namespace enginetest
