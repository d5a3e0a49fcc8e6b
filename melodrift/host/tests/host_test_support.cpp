#include "host_test_support.h"

#include "fw/strutil.h"
#include "fw/win/module.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace mdtest {

std::wstring TestFolder() { return fw::GetModuleFolder(nullptr) + L"\\"; }
std::wstring TestModule(const std::wstring& name) { return TestFolder() + L"testmodules\\" + name + L".dll"; }
std::wstring TestLanguage(const std::wstring& name) { return TestFolder() + L"testlanguages\\" + name + L".dll"; }

ScratchFolder::ScratchFolder(const std::wstring& tag) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    m_path = fw::Format(L"%smdhost_%s_%lu_%lu_%d\\", temp, tag.c_str(), GetCurrentProcessId(), GetTickCount(),
                        ++counter);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(m_path), ec);
    std::filesystem::create_directories(std::filesystem::path(m_path), ec);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(m_path), ec);
}

void MakeFolder(const std::wstring& folder) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(folder), ec);
}

bool CopyInto(const std::wstring& file, const std::wstring& folder, const std::wstring& newName) {
    MakeFolder(folder);
    std::wstring target = folder;
    if (!target.empty() && target.back() != L'\\') target += L'\\';
    target += newName.empty() ? fw::GetFileNamePart(file) : newName;
    return CopyFileW(file.c_str(), target.c_str(), FALSE) != FALSE;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path) {
    std::wstring text = fw::FromUtf8(ReadBytes(path));
    std::vector<std::wstring> lines = fw::Split(text, L"\n");
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::string SkinXml(const std::string& caption, const std::vector<std::string>& modules) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SKIN_MM Caption=\"" + caption +
                      "\" Width=\"800\" Height=\"600\">\n<MAINFRAME>\n<Panels/>\n<Controls/>\n<Modules>\n"
                      "<!-- the module order -->\n";
    for (const std::string& m : modules)
        xml += m.empty() ? "<Module/>\n" : "<Module Name=\"" + m + "\"><ModuleButton Owner=\"FramePanelLeft\"/></Module>\n";
    xml += "</Modules>\n</MAINFRAME>\n</SKIN_MM>\n";
    return xml;
}

std::wstring ReadIni(const std::wstring& path, const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) {
    wchar_t buffer[1024] = {};
    GetPrivateProfileStringW(section, key, defaultValue, buffer, 1024, path.c_str());
    return buffer;
}

}  // namespace mdtest
