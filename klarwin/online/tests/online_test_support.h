// Helpers of the online tests: the loopback servers' ports, pointing the
// services at them, and a window that collects the messages the worker
// threads post.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// The port the fixture's server wrote to <servers dir>\<name> (0 when missing).
unsigned short ServerPort(const char* name);

// Points the update server (the log service) at the fixture's loopback one and
// returns its port; 0, with nothing changed, when the fixture wrote no port.
unsigned short UseLoopbackUpdateServer();
unsigned short UseLoopbackLogServer();

// GET http://127.0.0.1:port/path; the body, empty on failure.
std::string HttpGet(unsigned short port, const std::wstring& path);

class CMessageSink {
public:
    CMessageSink();
    ~CMessageSink();
    HWND Hwnd() const { return m_hwnd; }
    // Pumps messages until one in [first, last] arrives that ends the wait
    // (until returns true), or timeoutMs passes. Every collected message stays in Messages().
    bool WaitFor(UINT until, DWORD timeoutMs);
    void Pump(DWORD ms);
    const std::vector<std::pair<UINT, WPARAM>>& Messages() const { return m_messages; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_hwnd = nullptr;
    std::vector<std::pair<UINT, WPARAM>> m_messages;
};
