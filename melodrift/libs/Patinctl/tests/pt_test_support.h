// Helpers of the skinned-control tests: pictures written by the test (BMP and
// PNG with alpha), a host window that records its controls' notifications,
// skin elements, reading back what a control drew, and waiting for the
// message loop.
#pragma once

#include "patinctl/patinctl.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pttest {

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A folder of its own under the temporary folder, removed with its files at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// 24-bit BMP; pixel(x, y) gives the colour.
bool WriteBmp(const std::wstring& path, int width, int height, const std::function<COLORREF(int, int)>& pixel);
// 32-bit PNG with alpha; pixel(x, y) gives 0xAARRGGBB.
bool WritePng(const std::wstring& path, int width, int height, const std::function<DWORD(int, int)>& pixel);
bool WriteText(const std::wstring& path, const std::string& text);

// A file opened as the frame opens pictures (read access, read sharing), closed at the end.
class PictureFile {
public:
    explicit PictureFile(const std::wstring& path);
    ~PictureFile();
    HANDLE Get() const { return m_handle == INVALID_HANDLE_VALUE ? nullptr : m_handle; }

private:
    HANDLE m_handle;
};

// A top-level test window (background RGB(0, 128, 0)) that records WM_COMMAND,
// WM_HSCROLL and WM_VSCROLL. Tests of the same program may run side by side on
// the display: those that read the screen or use the real mouse put their
// window where no other test's window lies (the others stay within 20..700,
// 20..340).
class Host {
public:
    static constexpr COLORREF kBackground = RGB(0, 128, 0);
    Host(int width = 400, int height = 300, int x = 20, int y = 20);
    ~Host();
    HWND Hwnd() const { return m_hwnd; }
    std::vector<Message>& Messages();
    void Clear() { Messages().clear(); }
    // The recorded messages of one kind.
    std::vector<Message> Of(UINT message);

private:
    HWND m_hwnd;
};

// A skin element with attributes (its children added with Add).
std::unique_ptr<enXml> Element(const wchar_t* name, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes);

// Hands pictures to a control: TRUE/FALSE as the control answers.
BOOL UseSkin(HWND control, HANDLE picture, HANDLE alpha, const enXml* element);

// The colour the control draws at (x, y) of its client area (through WM_PRINTCLIENT).
COLORREF PixelAt(HWND control, int x, int y);
// The colour on screen at (x, y) of a window's client area.
COLORREF ScreenPixelAt(HWND window, int x, int y);

// Runs the message loop for about `ms` milliseconds.
void Pump(int ms);
// Runs the message loop until `done` or the time-out; the last answer of `done`.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);

// Mouse messages as the system sends them to a window (client coordinates).
void MouseDown(HWND hwnd, int x, int y);
void MouseMove(HWND hwnd, int x, int y, bool buttonDown);
void MouseUp(HWND hwnd, int x, int y);

// Colour comparison with a little room for blending.
bool Near(COLORREF a, COLORREF b, int room = 8);

// Writes a window's screen image to a PNG file.
bool SaveWindowPng(HWND window, const std::wstring& path);
// The folder of the test executable (inside the build folder).
std::wstring ExeFolder();

}  // namespace pttest
