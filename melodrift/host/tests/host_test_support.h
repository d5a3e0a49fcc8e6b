// Helpers of the host tests: scratch folders laid out like the program's
// folder, the test modules and languages built beside the test, files.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace mdtest {

// The folder of the running test program, with a trailing backslash.
std::wstring TestFolder();
// <test folder>testmodules\<name>.dll and <test folder>testlanguages\<name>.dll.
std::wstring TestModule(const std::wstring& name);
std::wstring TestLanguage(const std::wstring& name);

// A new empty folder under the temporary folder (with a trailing backslash),
// removed with everything in it when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& tag);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }

private:
    std::wstring m_path;
};

bool CopyInto(const std::wstring& file, const std::wstring& folder, const std::wstring& newName = std::wstring());
void MakeFolder(const std::wstring& folder);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// The file as UTF-8 text split at "\n" (the last piece kept only when not empty).
std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path);

// A skin document with the given caption whose "Modules" list holds these
// names in order (an empty name gives a child without "Name").
std::string SkinXml(const std::string& caption, const std::vector<std::string>& modules);

// A profile value, read fresh from the file.
std::wstring ReadIni(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                     const wchar_t* defaultValue = L"");

}  // namespace mdtest
