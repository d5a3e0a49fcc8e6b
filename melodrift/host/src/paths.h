// Where Melodrift finds its files.
//
//   Program folder   the folder of the running program, with a trailing backslash.
//   Data folder      <all users' application data>\Corvena\<product folder>: every
//                    per-machine data file (Language.ini, config.ini, playlists,
//                    library, surround settings). The product folder is "Name" of
//                    section "General" of appdatadefault.ini beside the program,
//                    "Cantorel Voro 5.0" by default.
//   Language files   <program folder><folder>\<ShortName of Language.ini>\<file>.
//   Relative names   a name whose second character is a colon is absolute;
//                    anything else lies in the program folder.
#pragma once

#include <string>

namespace mdhost {

constexpr const wchar_t* kDefaultProductFolder = L"Cantorel Voro 5.0";

// Computed once, on first use.
const std::wstring& ProgramFolder();

// The product folder named in <programFolder>appdatadefault.ini (at most 99
// characters). Missing file or key, an empty name and a name that is not a
// plain folder name (path separators, "..", characters Windows forbids) give
// the default.
std::wstring ReadProductFolderName(const std::wstring& programFolder);

// The path of a data file; the Corvena and product folders are created when
// missing. With a product folder given, appdatadefault.ini is not read. An
// empty file name gives an empty string.
std::wstring GetDataFilePath(const std::wstring& fileName, const std::wstring& productFolder = std::wstring());

// <program folder><folder>\<ShortName from Language.ini, "eng" by default>\<fileName>.
std::wstring GetLanguageFilePath(const std::wstring& folder, const std::wstring& fileName);

// Absolute names unchanged; anything else appended to the program folder.
std::wstring GetProgramRelativePath(const std::wstring& name, const std::wstring& programFolder = ProgramFolder());

// The help page shipped with the program: <programFolder>Help\Melodrift.html.
std::wstring HelpFilePath(const std::wstring& programFolder);

// A web address of section "Online" of <programFolder>appdatadefault.ini
// ("Tutorials", "Community"): only http and https addresses count; anything
// else, a missing file or key give an empty text (no address).
std::wstring ReadOnlineAddress(const std::wstring& programFolder, const wchar_t* key);

// Creates an empty settings file as UTF-16LE with a byte-order mark when none
// exists, so that the profile functions keep every text in it (module names
// and paths outside the ANSI code page). An existing file is left as it is.
void EnsureUnicodeProfile(const std::wstring& path);

// A profile string with a read limit of `maxChars` characters.
std::wstring ReadProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                               const wchar_t* defaultValue, std::size_t maxChars);

}  // namespace mdhost
