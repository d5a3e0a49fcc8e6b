// Helpers of the scan tests: registry fixtures that remove what they create,
// folders and shortcuts, and a window that records the scan's messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "fw/win/com.h"
#include "klarwin/registry_scan_thread.h"

namespace scantest {

// A name no other test run uses: prefix, process id and a counter.
std::wstring UniqueName(const wchar_t* prefix);

// Registry entries made for one test. Keys are created with their missing
// parents; on destruction every created value and the top-most created key of
// every path are removed again.
class RegistryFixture {
public:
    RegistryFixture() = default;
    ~RegistryFixture();
    RegistryFixture(const RegistryFixture&) = delete;
    RegistryFixture& operator=(const RegistryFixture&) = delete;

    bool CreateKey(HKEY root, const std::wstring& path);
    bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& data,
                   DWORD type = REG_SZ);
    bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD data);
    void RemoveAll();

private:
    struct Created {
        HKEY root;
        std::wstring path;
    };
    struct Value {
        HKEY root;
        std::wstring path;
        std::wstring name;
    };
    std::vector<Created> m_keys;
    std::vector<Value> m_values;
};

// A folder tree made for one test and removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return m_path; }
    // Creates parent\relative (and missing folders) and returns its full path.
    std::wstring Folder(const std::wstring& relative) const;
    std::wstring File(const std::wstring& relative, const char* content = "x") const;

private:
    std::wstring m_path;
};

void DeleteTree(const std::wstring& folder);

// A shortcut at linkPath to target (the calling thread has COM).
bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target);

// One message as the window received it.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::wstring text;  // of WM_SCAN_PROGRESS_TEXT
};

// A message-only window on the calling thread that hands the messages of one
// range to Handle; the recorders of the tests build on it.
class MessageWindow {
public:
    MessageWindow(UINT first, UINT last);
    virtual ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Window() const { return m_window; }
    // Pumps messages until the thread has ended, then takes what is left in
    // the queue. False when the thread did not end within the time-out.
    bool PumpUntilEnded(HANDLE thread, DWORD timeoutMs = 120000);
    // Dispatches what is queued for the window.
    void Drain();

protected:
    virtual void Handle(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // Call first in the derived destructor: queued strings must still reach
    // Handle to be freed.
    void Close();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    UINT m_first;
    UINT m_last;
    HWND m_window = nullptr;
};

// Takes the string of a message that carries one (a BSTR in wParam) and frees it.
std::wstring TakeBstr(WPARAM wParam);

// Records every scan message (freeing the progress strings) and can act on
// each one.
class MessageRecorder : public MessageWindow {
public:
    MessageRecorder();
    ~MessageRecorder() override { Close(); }

    const std::vector<Received>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }
    // Called after each message is recorded.
    std::function<void(const Received&)> onMessage;
    // Milliseconds to sleep in each handled message (a slow window).
    DWORD slowness = 0;

    // Messages without the progress texts.
    std::vector<Received> WithoutProgress() const;
    std::vector<std::wstring> ProgressTexts() const;

protected:
    void Handle(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<Received> m_messages;
};

// Readable form of a message list for failure output.
std::string Describe(const std::vector<Received>& messages);

// A scan of the given sections with pacing off, run to its end while the
// recorder pumps. The error list and counters are the caller's.
struct ScanRun {
    CErrorListEx errors;
    SectionCounters counters;
    CRegistryItemListEx ignore;
    MessageRecorder recorder;
    DWORD progressIntervalMs = 0;
    double pacingScale = 0;
    ScanPostFunction postMessage = nullptr;
    DWORD elapsedMs = 0;

    bool Run(std::initializer_list<int> sections);
    bool RunAll();
    bool Run(const bool enabled[kSectionCount]);
    // The thread while it runs (for stopping from message handlers).
    CRegistryScanThread* thread = nullptr;
};

// Errors whose item's subkey or file path contains `marker`.
std::vector<CError> ErrorsWith(const CErrorListEx& errors, const std::wstring& marker);

std::string Narrow(const std::wstring& text);

}  // namespace scantest
