// Patinex: the skin manager. It loads a skin file (an XML document read with
// enXml), keeps it as the current skin, and answers the skin's document,
// colours and fonts to the host, the skinned controls (Patinctl) and modules.
//
// Crossing the DLL boundary:
//   - Plain C functions with wide C strings, HRESULT, COLORREF and LOGFONTW.
//   - The skin document is handed out as an enXml*. Both sides link the same
//     static XML library (melodrift_xml) built by the same compiler, so they
//     agree on the class layout. Patinex creates and owns every document it
//     hands out: callers only read it, never modify or delete it. A document
//     stays valid until Patinex.dll is unloaded, also after another skin has
//     been made current (a caller holding an element of an older skin keeps a
//     valid, if out-of-date, element).
//   - ISWQueryInterface is a table of functions in the platform's member-
//     function convention (like a COM interface without IUnknown). The object
//     lives as long as Patinex.dll; nobody frees it.
//
// Every function may be called from any thread.
//
// Skin-file vocabulary read here (beyond what the host reads itself): the
// root element may hold an element "Colors" whose children each carry a
// "Name" and a "Value" (a colour text as LoadColor reads it):
//
//   <SKIN_MM Caption="Standard" Width="900" Height="640">
//     <Colors>
//       <Color Name="MessageBoxBackground" Value="#1E2630"/>
//     </Colors>
//     ...
#ifndef PATINEX_PATINEX_H
#define PATINEX_PATINEX_H

#include <windows.h>

#include "xml/enxml.h"

#ifdef PATINEX_BUILD
#define PATINEX_API __declspec(dllexport)
#else
#define PATINEX_API __declspec(dllimport)
#endif

// What the skinned controls reach the skin manager through.
struct ISWQueryInterface {
    virtual HRESULT GetSkinXMLRoot(const void* caller, enXml** root) = 0;
    virtual COLORREF LoadColor(const wchar_t* text) = 0;
    virtual BOOL LoadFont(LOGFONTW* font, const wchar_t* text) = 0;
    virtual COLORREF GetSkinColor(const wchar_t* name, COLORREF fallback) = 0;
    // The current skin file (see GetSkinPath).
    virtual DWORD GetSkinPath(wchar_t* buffer, DWORD size) = 0;
    // Counts the skins made current so far: a control that remembers the
    // value sees from a change that it must reload its pictures.
    virtual DWORD GetSkinSerial() = 0;
};

extern "C" {

// The query interface for the skinned controls (S_OK; E_POINTER for a null out pointer).
PATINEX_API HRESULT __cdecl GetSWQueryInterface(ISWQueryInterface** out);

// Reads the skin file and makes it the current skin for everything drawn
// later. S_OK; E_INVALIDARG for a null or empty path; E_FAIL when the file is
// missing or not a well-formed XML document, in which case the previous
// current skin stays current.
PATINEX_API HRESULT __cdecl LoadStandardSkin(const wchar_t* path);

// The current skin's document (its root element). `caller` names the asking
// object (a window, a control); it is not used to choose the document today
// and may be null. S_OK with the root; E_FAIL with null when no skin was
// loaded; E_POINTER for a null out pointer. See the top of this file for
// ownership.
PATINEX_API HRESULT __cdecl GetSkinXMLRoot(const void* caller, enXml** root);

// The current skin file's path: its length in characters (0 when there is
// none); copied with its NUL when it fits into `size` characters.
PATINEX_API DWORD __cdecl GetSkinPath(wchar_t* buffer, DWORD size);

// A colour text of a skin attribute ("TextColor"): "#RRGGBB", "#RGB",
// "r,g,b" or "RGB(r,g,b)" with components 0 to 255 (blanks allowed around
// them), or "@Name" for a named colour of the current skin. CLR_INVALID for
// anything else.
PATINEX_API COLORREF __cdecl LoadColor(const wchar_t* text);

// A font text of a skin attribute ("LogFont"): the face name, then optional
// comma-separated parts: the character height in pixels, "Bold", "Italic",
// "Underline", "StrikeOut", or a weight from 1 to 1000. For example
// "Tahoma,11,Bold". Fills the whole record (default character set and
// quality) and answers TRUE; FALSE, with the record untouched, for a null
// argument, an empty face or one longer than 31 characters, or a part it does
// not know.
PATINEX_API BOOL __cdecl LoadFont(LOGFONTW* font, const wchar_t* text);

// The named colour of the current skin ("Colors" child whose "Name" matches
// case-insensitively, its "Value" read as by LoadColor without "@"), or
// `fallback` when there is no skin, no such colour or an unreadable value.
PATINEX_API COLORREF __cdecl GetSkinColor(const wchar_t* name, COLORREF fallback);
}

#endif
