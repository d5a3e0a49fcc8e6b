// Mediscan: what the media data of Melodrift's own modules can be.
//
// Crossing the DLL boundary: plain C functions, wide C strings.
#ifndef MEDISCAN_MEDISCAN_H
#define MEDISCAN_MEDISCAN_H

#include <windows.h>

#ifdef MEDISCAN_BUILD
#define MEDISCAN_API __declspec(dllexport)
#else
#define MEDISCAN_API __declspec(dllimport)
#endif

extern "C" {

// The audio file types Melodrift's modules open, as a filter text: a
// description, "|", each extension key name followed by ";", then "|":
//
//   Audio Files (*.wav;*.mp3)|.wav;.mp3;|
//
// `size` is the buffer's capacity in characters. Returns 1 with the text and
// its NUL in the buffer; 0 when the buffer is null or too small (an empty
// text is stored when it holds at least one character).
MEDISCAN_API int __cdecl OrvoGetSupportedFileExtensions(wchar_t* buffer, int size);
}

#endif
