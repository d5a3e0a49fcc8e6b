// CHostSettings: the settings file config.ini of the data folder. Settings of
// an owner (a module's name or "Main frame") live in the section named owner
// + ": params"; other sections ("CURRENTSKIN", "MODULES_ORDER", "Debug", ...)
// are used by their name.
#pragma once

#include <mutex>
#include <string>

class CHostSettings {
public:
    explicit CHostSettings(std::wstring path);

    const std::wstring& Path() const { return m_path; }
    static std::wstring OwnerSection(const std::wstring& owner) { return owner + L": params"; }

    // A value read with a limit of maxChars characters.
    std::wstring Read(const std::wstring& section, const wchar_t* key, const wchar_t* defaultValue = L"",
                      std::size_t maxChars = 260) const;
    bool Write(const std::wstring& section, const wchar_t* key, const wchar_t* value) const;
    int ReadInt(const std::wstring& section, const wchar_t* key, int defaultValue) const;

    // Removes the first line "key=..." of the owner's section (names matched as the
    // profile functions match them: letter case and blanks around the key ignored) by rewriting the
    // file as text (in its own encoding: UTF-16LE with byte-order mark, or the
    // ANSI code page). False when the section is not in the file.
    bool DeleteOwnerKey(const std::wstring& owner, const std::wstring& key) const;

private:
    std::wstring m_path;
    // Modules write their settings from workers too: a key written while
    // DeleteOwnerKey rewrites the file would be lost without it.
    mutable std::mutex m_fileLock;
};
