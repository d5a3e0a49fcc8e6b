// CDefaultPlayer: makes Melodrift the program that opens the supported audio
// file types, tells whether it still is, and gives each type back to its
// previous owner.
//
// Registry layout under HKEY_CLASSES_ROOT (REG_SZ values):
//   Melodrift.Player                      (default) "Melodrift Player"
//   Melodrift.Player\DefaultIcon          (default) <program path>,0
//   Melodrift.Player\shell\open            (default) "&Play"
//   Melodrift.Player\shell\open\command   (default) "<program path>" "%1"
//   Melodrift.Player\shell\enqueue         (default) "&Enqueue in Melodrift"
//   Melodrift.Player\shell\enqueue\command (default) "<program path>" /add "%1"
//   <extension>                           (default) "Melodrift.Player"
//   <extension>                           "Tonvar_Back": the previous owner
// The extensions come from the media-data library (Mediscan,
// OrvoGetSupportedFileExtensions).
//
// The previous owner is kept across repeated make-default calls: when an
// extension already names "Melodrift.Player", its "Tonvar_Back" is left as it
// is, so that remove-association always gives the type back to the program
// that had it before Melodrift.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CDefaultPlayer {
public:
    // programPath: the program the association names; empty for the running program.
    explicit CDefaultPlayer(std::wstring programPath = std::wstring());

    // True when the program keys (both commands) name this program and every supported
    // extension whose default value can be read names "Melodrift.Player".
    bool IsDefault() const;
    // Writes the program keys and takes over every supported extension.
    // False when one of the program keys could not be written.
    bool MakeDefault();
    // Deletes the program keys and gives every supported extension that still
    // names "Melodrift.Player" its "Tonvar_Back" value back as its default
    // value; an extension another program has taken since is left alone.
    // Always true.
    bool RemoveAssociation();

    const std::wstring& ProgramPath() const { return m_programPath; }
    // The open command: the program path in double quotes, a blank, "%1" in double quotes.
    std::wstring CommandText() const;
    // The enqueue command: the same with "/add" before the file.
    std::wstring EnqueueCommandText() const;

    // The extensions of a filter text "description|.a;.b;|": the items between
    // the first and the second vertical bar, each ended by a semicolon. Empty
    // items and items with a backslash (which would name another key) are
    // skipped.
    static std::vector<std::wstring> ParseExtensionList(std::wstring_view filter);
    // The extensions the media-data library reports; false when it does not answer.
    static bool GetSupportedExtensions(std::vector<std::wstring>& extensions);

    static constexpr const wchar_t* kProgId = L"Melodrift.Player";
    static constexpr const wchar_t* kProgIdText = L"Melodrift Player";
    static constexpr const wchar_t* kBackupValue = L"Tonvar_Back";
    static constexpr const wchar_t* kPlayVerbText = L"&Play";
    static constexpr const wchar_t* kEnqueueVerbText = L"&Enqueue in Melodrift";

private:
    std::wstring m_programPath;
};
