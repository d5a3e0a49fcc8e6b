// CSingleInstance: one Melodrift per installation and user session. The
// first start holds a named mutex of the session (named after the data
// folder, so that copies of the program with data folders of their own do not
// meet) and marks its frame window with a property of the same name. A later
// start finds that frame and hands its command line's files over in one
// WM_COPYDATA message (hand_over.h); it waits for the answer a bounded time,
// after which the running copy counts as absent.
#pragma once

#include "hand_over.h"

#include <windows.h>

#include <string>

class CSingleInstance {
public:
    // dataFolder: the data folder of this installation (letter case ignored).
    explicit CSingleInstance(const std::wstring& dataFolder);
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when no other copy held the mutex: this one is the running copy.
    bool First() const { return m_first; }
    const std::wstring& Name() const { return m_name; }

    // Marks the frame as the one later starts hand over to (the first copy only).
    void PublishFrame(HWND frame) const;

    // Hands the files over to the running copy's frame; false when it was not
    // found or did not take them within timeoutMs (this start then opens as usual).
    bool HandOver(const mdhost::HandOver& handOver, DWORD timeoutMs) const;

    // The frame marked with `name`, or null.
    static HWND FindFrame(const std::wstring& name);

private:
    std::wstring m_name;
    HANDLE m_mutex = nullptr;
    bool m_first = true;
};
