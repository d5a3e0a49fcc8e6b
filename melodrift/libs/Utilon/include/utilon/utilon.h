// Utilon: service functions of Melodrift and its modules.
//
//   Message boxes in the look of the current skin (colours from the skin
//   manager Patinex): the text, an icon and the standard buttons of the
//   MB_* type, modal to the owner; the result is the id of the pressed button
//   (IDOK, IDCANCEL, IDYES = 6, IDNO, ...), or 0 when the box could not be shown.
//   Keyboard: Enter presses the default button; Escape answers IDCANCEL when
//   the box has a Cancel button, IDOK for a box with OK only, and nothing
//   otherwise; the close box behaves as Escape.
//
//   SD2MME: float sample blocks to interleaved 16-bit PCM.
//
// Crossing the DLL boundary: plain C functions, wide C strings, no exceptions.
#ifndef UTILON_UTILON_H
#define UTILON_UTILON_H

#include <windows.h>
#include <mmreg.h>

#include "dsp/sampleblock.h"

#ifdef UTILON_BUILD
#define UTILON_API __declspec(dllexport)
#else
#define UTILON_API __declspec(dllimport)
#endif

extern "C" {

// A message box owned by the calling thread's active window (or, without
// one, by the process's foreground window), titled with the message-box title
// (SetMessageBoxTitle; the program's file title until one is set). helpId is
// kept for callers that pass one and is not used.
UTILON_API int __cdecl AfxPtMessageBox(const wchar_t* text, UINT type, UINT helpId);

// The four values are passed on unchanged by the host (IApplication):
//   text     a const wchar_t* text, or a string id (IS_INTRESOURCE) looked up in `module`
//   caption  the same; 0 takes the message-box title
//   type     MB_* flags
//   module   the module whose string table holds the ids (0: the program)
// parent: the owner window (null: as AfxPtMessageBox).
UTILON_API int __cdecl ShowMessageBox(UINT_PTR text, UINT_PTR caption, UINT_PTR type, UINT_PTR module, HWND parent);

// The title of boxes that name none (null or empty: the program's file title).
UTILON_API void __cdecl SetMessageBoxTitle(const wchar_t* title);

// Converts frames firstFrame .. firstFrame + frameCount - 1 of `block` into
// interleaved 16-bit PCM of `format` (its channel count; block align must be
// 2 x channels) at `dest`. A sample of 1.0 becomes 32767; values beyond
// [-1, 1] are clipped; NaN becomes silence. Returns the frames written: 0 for
// a null argument, a format that is not 16-bit, or a first frame outside the
// block; the range is cut at the block's capacity.
UTILON_API int __cdecl SD2MME(const SampleBlock* block, int firstFrame, int frameCount, void* dest,
                              const WAVEFORMATEX* format);
}

#endif
