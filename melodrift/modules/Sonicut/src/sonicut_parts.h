// What the Sonicut window's source files share (not part of the module's interface).
#pragma once

#include "sonicut_window.h"

#include <algorithm>
#include <string>

namespace sonicut {

// The timer of the meter and the time while recording.
constexpr UINT_PTR kTimer = 1;

// The recording formats offered, the first the default.
struct FormatChoice {
    const wchar_t* text;
    PcmFormat format;
};
inline const FormatChoice kFormats[] = {
    {L"44100 Hz, 16-bit, stereo", {2, 44100, 16}},
    {L"44100 Hz, 16-bit, mono", {1, 44100, 16}},
    {L"48000 Hz, 16-bit, stereo", {2, 48000, 16}},
    {L"22050 Hz, 16-bit, mono", {1, 22050, 16}},
    {L"8000 Hz, 16-bit, mono", {1, 8000, 16}},
    {L"44100 Hz, 8-bit, mono", {1, 44100, 8}},
};
constexpr int kFormatCount = static_cast<int>(sizeof(kFormats) / sizeof(kFormats[0]));

// The recording file: writes at given offsets through the file pointer.
class CFileOutput : public WavOutput {
public:
    explicit CFileOutput(HANDLE file) : m_file(file) {}
    ~CFileOutput() override { Close(); }
    CFileOutput(const CFileOutput&) = delete;
    CFileOutput& operator=(const CFileOutput&) = delete;

    bool WriteAt(std::uint64_t offset, const void* data, std::size_t bytes) override;
    void Close();

private:
    HANDLE m_file;
};

// The text of a window (an edit control's, say).
std::wstring WindowText(HWND hwnd);
// The folder part of a path; empty when it has none.
std::wstring FolderOf(const std::wstring& path);

}  // namespace sonicut
