// The file association of Melodrift.Player.
#include "desktop/default_player.h"

#include "fw/win/module.h"
#include "fw/win/registry.h"
#include "mediscan/mediscan.h"

namespace {

constexpr wchar_t kIconKey[] = L"Melodrift.Player\\DefaultIcon";
constexpr wchar_t kCommandKey[] = L"Melodrift.Player\\shell\\open\\command";
constexpr wchar_t kOpenKey[] = L"Melodrift.Player\\shell\\open";
constexpr wchar_t kEnqueueKey[] = L"Melodrift.Player\\shell\\enqueue";
constexpr wchar_t kEnqueueCommandKey[] = L"Melodrift.Player\\shell\\enqueue\\command";

// The default value of HKCR\key; false when the key or value cannot be read.
bool ReadDefault(const wchar_t* key, std::wstring& value) {
    CRegKey k;
    if (k.Open(HKEY_CLASSES_ROOT, key, KEY_READ) != ERROR_SUCCESS) return false;
    return k.QueryStringValue(nullptr, value) == ERROR_SUCCESS;
}

bool WriteDefault(const wchar_t* key, const std::wstring& value) {
    CRegKey k;
    if (k.Create(HKEY_CLASSES_ROOT, key) != ERROR_SUCCESS) return false;
    return k.SetStringValue(nullptr, value) == ERROR_SUCCESS;
}

}  // namespace

CDefaultPlayer::CDefaultPlayer(std::wstring programPath)
    : m_programPath(programPath.empty() ? fw::GetModulePath(nullptr) : std::move(programPath)) {}

std::wstring CDefaultPlayer::CommandText() const { return L"\"" + m_programPath + L"\" \"%1\""; }

std::wstring CDefaultPlayer::EnqueueCommandText() const { return L"\"" + m_programPath + L"\" /add \"%1\""; }

std::vector<std::wstring> CDefaultPlayer::ParseExtensionList(std::wstring_view filter) {
    std::vector<std::wstring> result;
    std::size_t pos = filter.find(L'|');
    if (pos == std::wstring_view::npos) return result;
    ++pos;
    while (pos < filter.size() && filter[pos] != L'|') {
        std::size_t semicolon = filter.find(L';', pos);
        if (semicolon == std::wstring_view::npos) break;
        std::wstring_view item = filter.substr(pos, semicolon - pos);
        std::size_t bar = item.find(L'|');
        if (bar != std::wstring_view::npos) break;  // the list ended without its semicolon
        if (!item.empty() && item.find(L'\\') == std::wstring_view::npos) result.emplace_back(item);
        pos = semicolon + 1;
    }
    return result;
}

bool CDefaultPlayer::GetSupportedExtensions(std::vector<std::wstring>& extensions) {
    std::wstring buffer(10240, L'\0');
    if (OrvoGetSupportedFileExtensions(buffer.data(), static_cast<int>(buffer.size())) != 1) return false;
    buffer.resize(buffer.find(L'\0') == std::wstring::npos ? buffer.size() : buffer.find(L'\0'));
    extensions = ParseExtensionList(buffer);
    return true;
}

bool CDefaultPlayer::IsDefault() const {
    std::wstring value;
    if (!ReadDefault(kProgId, value) || value != kProgIdText) return false;
    if (!ReadDefault(kCommandKey, value) || value != CommandText()) return false;
    if (!ReadDefault(kEnqueueCommandKey, value) || value != EnqueueCommandText()) return false;
    std::vector<std::wstring> extensions;
    if (!GetSupportedExtensions(extensions)) return true;
    for (const std::wstring& ext : extensions)
        if (ReadDefault(ext.c_str(), value) && value != kProgId) return false;
    return true;
}

bool CDefaultPlayer::MakeDefault() {
    if (!WriteDefault(kProgId, kProgIdText)) return false;
    if (!WriteDefault(kIconKey, m_programPath + L",0")) return false;
    if (!WriteDefault(kCommandKey, CommandText())) return false;
    // The verbs of the files' context menu: "Play" (the default) and "Enqueue in Melodrift".
    if (!WriteDefault(kOpenKey, kPlayVerbText) || !WriteDefault(kEnqueueKey, kEnqueueVerbText) ||
        !WriteDefault(kEnqueueCommandKey, EnqueueCommandText()))
        return false;
    std::vector<std::wstring> extensions;
    if (!GetSupportedExtensions(extensions)) return true;
    for (const std::wstring& ext : extensions) {
        CRegKey key;
        if (key.Create(HKEY_CLASSES_ROOT, ext.c_str()) != ERROR_SUCCESS) continue;
        std::wstring previous;
        if (key.QueryStringValue(nullptr, previous) != ERROR_SUCCESS) previous.clear();
        if (key.SetStringValue(nullptr, kProgId) != ERROR_SUCCESS) continue;
        // Taking over a type we already own must not lose its true previous owner.
        if (previous != kProgId) key.SetStringValue(kBackupValue, previous);
    }
    return true;
}

bool CDefaultPlayer::RemoveAssociation() {
    for (const wchar_t* key : {kCommandKey, kOpenKey, kEnqueueCommandKey, kEnqueueKey, L"Melodrift.Player\\shell", kIconKey, kProgId})
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key);
    std::vector<std::wstring> extensions;
    if (!GetSupportedExtensions(extensions)) return true;
    for (const std::wstring& ext : extensions) {
        CRegKey key;
        if (key.Open(HKEY_CLASSES_ROOT, ext.c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS) continue;
        // Only a type Melodrift still owns goes back: one that another program
        // has taken since keeps its new owner.
        std::wstring owner;
        if (key.QueryStringValue(nullptr, owner) != ERROR_SUCCESS || owner != kProgId) continue;
        std::wstring previous;
        if (key.QueryStringValue(kBackupValue, previous) != ERROR_SUCCESS) previous.clear();
        key.SetStringValue(nullptr, previous);
    }
    return true;
}
