// The file types Melodrift's own modules decode: WAV and MP3.
#include "mediscan/mediscan.h"

#include <cwchar>

namespace {
constexpr wchar_t kFilter[] = L"Audio Files (*.wav;*.mp3)|.wav;.mp3;|";
}

extern "C" MEDISCAN_API int __cdecl OrvoGetSupportedFileExtensions(wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    const int needed = static_cast<int>(sizeof kFilter / sizeof kFilter[0]);
    if (size < needed) {
        buffer[0] = L'\0';
        return 0;
    }
    std::wmemcpy(buffer, kFilter, static_cast<std::size_t>(needed));
    return 1;
}
