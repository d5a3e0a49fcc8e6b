#include "klarwin/scan_walks.h"

#include <cstring>
#include <cwchar>
#include <type_traits>

#include "fw/strutil.h"
#include "klarwin/path_check.h"

static_assert(std::is_same_v<RootKeyHandle, HKEY>, "records keep the system's root key type");

namespace {

constexpr DWORD kNameChars = 256;   // 255 characters and the terminator
constexpr DWORD kDataBytes = 1024;  // string data limit
constexpr int kMaxValueDepth = 10;  // subkeys are entered while the depth is at most this

// A key opened for reading that closes itself.
class ReadKey {
public:
    ReadKey(HKEY parent, const std::wstring& subKey) {
        if (RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_READ, &m_key) != ERROR_SUCCESS) m_key = nullptr;
    }
    ~ReadKey() {
        if (m_key) RegCloseKey(m_key);
    }
    ReadKey(const ReadKey&) = delete;
    ReadKey& operator=(const ReadKey&) = delete;
    explicit operator bool() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }

    bool Counts(DWORD* subKeys, DWORD* values) const {
        return RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr, values, nullptr,
                                nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
    bool SubKeyName(DWORD index, std::wstring& name) const {
        wchar_t buffer[kNameChars];
        DWORD length = kNameChars;
        if (RegEnumKeyExW(m_key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        name.assign(buffer, length);
        return true;
    }

private:
    HKEY m_key = nullptr;
};

bool KeyExists(HKEY root, const std::wstring& subKey) {
    return static_cast<bool>(ReadKey(root, subKey));
}

// One value as enumerated: name, type and (when it fits) data.
struct ValueSlot {
    wchar_t name[kNameChars];
    DWORD nameLength = 0;
    DWORD type = 0;
    wchar_t data[kDataBytes / sizeof(wchar_t) + 1];  // room for a terminator the data may lack
    DWORD dataBytes = 0;
    bool dataRead = false;

    std::wstring_view Name() const { return std::wstring_view(name, nameLength); }
    // String data up to its first NUL.
    std::wstring_view Text() const {
        std::size_t units = dataBytes / sizeof(wchar_t);
        return std::wstring_view(data, wcsnlen(data, units));
    }
    DWORD Dword() const {
        DWORD value = 0;
        std::memcpy(&value, data, dataBytes < sizeof(value) ? dataBytes : sizeof(value));
        return value;
    }
};

// Enumerates value `index` with its data in one call; when something does not
// fit, asks again for the name and type alone. False: skip the value (error,
// or a name over 255 characters).
bool EnumValue(HKEY key, DWORD index, ValueSlot& v) {
    v.nameLength = kNameChars;
    v.dataBytes = kDataBytes;
    LONG rc = RegEnumValueW(key, index, v.name, &v.nameLength, nullptr, &v.type, reinterpret_cast<BYTE*>(v.data),
                            &v.dataBytes);
    if (rc == ERROR_SUCCESS) {
        if (v.dataBytes > kDataBytes) v.dataBytes = kDataBytes;
        reinterpret_cast<BYTE*>(v.data)[v.dataBytes] = 0;
        if (v.dataBytes + 1 < sizeof(v.data)) reinterpret_cast<BYTE*>(v.data)[v.dataBytes + 1] = 0;
        v.dataRead = true;
        return true;
    }
    if (rc != ERROR_MORE_DATA) return false;
    v.nameLength = kNameChars;
    v.dataBytes = 0;
    v.dataRead = false;
    return RegEnumValueW(key, index, v.name, &v.nameLength, nullptr, &v.type, nullptr, nullptr) == ERROR_SUCCESS;
}

// A string value of a key (REG_SZ or REG_EXPAND_SZ, at most 1024 bytes);
// empty when missing, of another type or too long.
std::wstring ReadStringValue(HKEY key, const wchar_t* name) {
    wchar_t data[kDataBytes / sizeof(wchar_t) + 1] = {};
    DWORD bytes = kDataBytes;
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS)
        return std::wstring();
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::wstring();
    return std::wstring(data, wcsnlen(data, bytes / sizeof(wchar_t)));
}

std::wstring Join(std::wstring_view a, std::wstring_view b) {
    std::wstring out;
    out.reserve(a.size() + b.size() + 1);
    out += a;
    out += L'\\';
    out += b;
    return out;
}

CRegistryItem MakeItem(const ScanContext& ctx, int type, const std::wstring& subKey, std::wstring_view name,
                       std::wstring_view data) {
    CRegistryItem item;
    item.ValueType = type;
    item.RootKey = ctx.rootKey;
    item.RootName = ctx.rootName;
    item.SubKey = subKey;
    item.ValueName = std::wstring(name);
    item.ValueData = std::wstring(data);
    return item;
}

std::wstring DisplayText(const ScanContext& ctx, const std::wstring& subKey, std::wstring_view name) {
    std::wstring out = Join(ctx.rootName, subKey);
    out += L'\\';
    out += name;
    return out;
}

void CheckOpenKeyValues(ScanContext& ctx, const ReadKey& key, DWORD values, const std::wstring& subKey,
                        bool sharedDlls) {
    ValueSlot v;
    for (DWORD i = 0; i < values && ctx.running.load(); ++i) {
        if (!EnumValue(key.Get(), i, v)) continue;
        PostScanProgress(ctx, subKey, v.Name());
        if (!v.dataRead) continue;
        if (!sharedDlls) {
            if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) continue;
            std::wstring_view text = v.Text();
            if (!IsPathCandidateMissing(text, ctx.systemRoot, &ctx.pathCache)) continue;
            ReportMissingPath(ctx, MakeItem(ctx, static_cast<int>(v.type), subKey, v.Name(), text),
                              DisplayText(ctx, subKey, v.Name()), text);
        } else {
            if (v.type != REG_DWORD) continue;
            if (!IsPathCandidateMissing(v.Name(), ctx.systemRoot, &ctx.pathCache)) continue;
            CRegistryItem item = MakeItem(ctx, kValueTypeDword, subKey, v.Name(),
                                          std::to_wstring(static_cast<int>(v.Dword())));
            item.Tag = ctx.ordinal;
            ReportMissingPath(ctx, std::move(item), DisplayText(ctx, subKey, v.Name()), v.Name());
        }
    }
}

void CheckClasses(ScanContext& ctx, bool typeLibs) {
    ReadKey classes(ctx.rootKey, L"CLSID");
    DWORD count = 0;
    if (!classes || !classes.Counts(&count, nullptr)) return;
    std::wstring name;
    for (DWORD i = 0; i < count && ctx.running.load(); ++i) {
        if (!classes.SubKeyName(i, name)) continue;
        std::wstring classPath = Join(L"CLSID", name);
        PostScanProgress(ctx, classPath);
        if (!typeLibs) {
            ReadKey cls(classes.Get(), name);
            if (!cls) continue;
            std::wstring appId = ReadStringValue(cls.Get(), L"AppID");
            if (appId.empty() || KeyExists(ctx.rootKey, Join(L"AppID", appId))) continue;
            CError error;
            error.ErrorType = kErrorValue;
            error.Reason = fw::Format(L"The key %s points to a missing CLSID %s",
                                      (L"HKEY_CLASSES_ROOT\\CLSID\\" + name).c_str(), appId.c_str());
            error.Title = L"Missing AppID or CLSID.";
            error.Item = MakeItem(ctx, kValueTypeString, classPath, L"AppID", appId);
            AddScanError(ctx, std::move(error));
        } else {
            std::wstring typeLibKey = Join(name, L"TypeLib");
            ReadKey typeLib(classes.Get(), typeLibKey);
            if (!typeLib) continue;
            std::wstring libId = ReadStringValue(typeLib.Get(), nullptr);
            // A TypeLib key without an identifier names nothing to look for.
            if (libId.empty() || KeyExists(ctx.rootKey, Join(L"TypeLib", libId))) continue;
            CError error;
            error.ErrorType = kErrorValue;
            error.Reason = fw::Format(L"The key %s points to a missing CLSID %s",
                                      (L"HKEY_CLASSES_ROOT\\CLSID\\" + typeLibKey).c_str(), libId.c_str());
            error.Title = L"Missing Typelib or CLSID.";
            error.Item = MakeItem(ctx, kValueTypeString, Join(L"CLSID", typeLibKey), L"", libId);
            AddScanError(ctx, std::move(error));
        }
    }
}

// Keys are opened below their parent's handle; `path` is the key's path below
// the root, as findings and progress texts name it.
void CheckValuesBelow(ScanContext& ctx, HKEY parent, const std::wstring& name, const std::wstring& path, int depth) {
    ReadKey key(parent, name);
    DWORD subKeys = 0;
    DWORD values = 0;
    if (!key || !key.Counts(&subKeys, &values)) return;
    CheckOpenKeyValues(ctx, key, values, path, false);
    if (depth > kMaxValueDepth) return;
    std::wstring child;
    for (DWORD i = 0; i < subKeys && ctx.running.load(); ++i) {
        if (key.SubKeyName(i, child)) CheckValuesBelow(ctx, key.Get(), child, Join(path, child), depth + 1);
    }
}

void WalkEmptyKeysBelow(ScanContext& ctx, HKEY parent, const std::wstring& name, const std::wstring& path,
                        int depth) {
    AnnounceDueScanErrors(ctx);  // this walk posts no progress text
    ReadKey key(parent, name);
    DWORD subKeys = 0;
    DWORD values = 0;
    if (!key || !key.Counts(&subKeys, &values)) return;
    if (subKeys > 0 || values > 0) {
        std::wstring child;
        for (DWORD i = 0; i < subKeys && ctx.running.load(); ++i) {
            if (key.SubKeyName(i, child)) WalkEmptyKeysBelow(ctx, key.Get(), child, Join(path, child), depth + 1);
        }
        return;
    }
    if (depth <= 2) return;
    CError error;
    error.ErrorType = kErrorKey;
    error.FilePath = path;
    error.Reason = fw::Format(L"The key %s is a empty registry key", path.c_str());
    error.Title = L"Empty Registry Key.";
    error.Item = MakeItem(ctx, kValueTypeNone, path, L"", L"");
    error.Item.Tag = ctx.ordinal;
    AddScanError(ctx, std::move(error));
}

void OnShortcutSearchEvent(CFileFinder* finder, int event, void* userData) {
    ScanContext& ctx = *static_cast<ScanContext*>(userData);
    if (event == kFinderFolderStarted) {
        PostScanProgress(ctx, finder->GetCurrentFolder());
        return;
    }
    if (event != kFinderFileFound) return;
    const std::wstring& path = finder->GetLastFound();
    // A folder whose name ends in ".lnk" is no shortcut file.
    if (!path.empty() && path.back() == L'\\') return;
    if (ShortcutTest(ctx, path)) return;
    CError error;
    error.ErrorType = kErrorFile;
    error.FilePath = path;
    error.Reason = L"The target file for this shortcut file does not exist.";
    error.Title = L"Missing Shortcut.";
    error.Item.RootKey = ctx.rootKey;
    error.Item.RootName = ctx.rootName;
    AddScanError(ctx, std::move(error), false);
}

}  // namespace

void CheckKeyValues(ScanContext& ctx, const std::wstring& subKey) {
    ReadKey key(ctx.rootKey, subKey);
    DWORD values = 0;
    if (key && key.Counts(nullptr, &values)) CheckOpenKeyValues(ctx, key, values, subKey, false);
}

void CheckValuesRecursively(ScanContext& ctx, const std::wstring& subKey, int depth) {
    CheckValuesBelow(ctx, ctx.rootKey, subKey, subKey, depth);
}

void CheckSharedDlls(ScanContext& ctx, const std::wstring& subKey) {
    ReadKey key(ctx.rootKey, subKey);
    DWORD values = 0;
    if (key && key.Counts(nullptr, &values)) CheckOpenKeyValues(ctx, key, values, subKey, true);
}

void WalkEmptyKeys(ScanContext& ctx, const std::wstring& subKey, int depth) {
    WalkEmptyKeysBelow(ctx, ctx.rootKey, subKey, subKey, depth);
}

void CheckActiveXAppIds(ScanContext& ctx) { CheckClasses(ctx, false); }

void CheckActiveXTypeLibs(ScanContext& ctx) { CheckClasses(ctx, true); }

void SearchShortcuts(ScanContext& ctx) {
    std::wstring profile = ExpandEnvironment(L"%USERPROFILE%");
    if (profile.empty() || profile.find(L'%') != std::wstring::npos) return;  // no profile to search
    // Without the shell-link object no shortcut can be read, and every one
    // would count as broken (and a repair would delete it, with no backup).
    if (!ctx.shellLink) {
        PostScanMessage(ctx, WM_SCAN_SECTION_SKIPPED, static_cast<WPARAM>(ctx.section),
                        static_cast<LPARAM>(ctx.ordinal));
        return;
    }
    ctx.finder.SetCallback(&OnShortcutSearchEvent, &ctx);
    // The search clears its own stop flag when it starts; tied to the scan's
    // flag it still ends at once when the scan was stopped before that.
    ctx.finder.SetRunningFlag(&ctx.running);
    if (!ctx.running.load()) return;
    ctx.finder.FindFiles(profile, L"*.lnk", true);
}

namespace {

// What a section walks: each row one walk below one root key. Rows of a
// section run in order; a row on another root key than the one before begins
// that root anew, a row on the same root runs only while the scan goes on.
enum class Walk { Values, ValuesBelow, SharedDlls, EmptyKeys, ActiveXAppIds, ActiveXTypeLibs, Shortcuts };

struct SectionWalk {
    int section;
    HKEY root;
    const wchar_t* rootName;
    Walk walk;
    const wchar_t* subKey;
};

constexpr const wchar_t* kLocalMachine = L"HKEY_LOCAL_MACHINE";
constexpr const wchar_t* kCurrentUser = L"HKEY_CURRENT_USER";

const SectionWalk kSectionWalks[] = {
    {kSectionActiveX, HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", Walk::ActiveXAppIds, nullptr},
    {kSectionActiveX, HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", Walk::ActiveXTypeLibs, nullptr},
    {kSectionAppPaths, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::ValuesBelow,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
    {kSectionSoundFiles, HKEY_CURRENT_USER, kCurrentUser, Walk::ValuesBelow, L"AppEvents\\Schemes\\Apps"},
    {kSectionHelpFiles, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::Values, L"Software\\Microsoft\\Windows\\Help"},
    {kSectionHelpFiles, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::Values, L"Software\\Microsoft\\Windows\\HTML Help"},
    {kSectionStartup, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::Values,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {kSectionStartup, HKEY_CURRENT_USER, kCurrentUser, Walk::Values,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {kSectionSnapIns, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::ValuesBelow, L"Software\\Microsoft\\MMC\\SnapIns"},
    {kSectionSharedDlls, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::SharedDlls,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"},
    {kSectionEmptyKeys, HKEY_USERS, L"HKEY_USERS", Walk::EmptyKeys, L"S-1-5-18"},
    {kSectionEmptyKeys, HKEY_USERS, L"HKEY_USERS", Walk::EmptyKeys, L"S-1-5-19"},
    {kSectionEmptyKeys, HKEY_USERS, L"HKEY_USERS", Walk::EmptyKeys, L"S-1-5-20"},
    {kSectionDrivers, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::ValuesBelow,
     L"SYSTEM\\CurrentControlSet\\Services\\SessionLauncher"},
    {kSectionUninstall, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::ValuesBelow,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {kSectionFonts, HKEY_LOCAL_MACHINE, kLocalMachine, Walk::Values,
     L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    {kSectionShortcuts, HKEY_CURRENT_USER, kCurrentUser, Walk::Shortcuts, nullptr},
};

void RunWalk(ScanContext& ctx, const SectionWalk& row) {
    switch (row.walk) {
        case Walk::Values: CheckKeyValues(ctx, row.subKey); break;
        case Walk::ValuesBelow: CheckValuesRecursively(ctx, row.subKey); break;
        case Walk::SharedDlls: CheckSharedDlls(ctx, row.subKey); break;
        case Walk::EmptyKeys: WalkEmptyKeys(ctx, row.subKey); break;
        case Walk::ActiveXAppIds: CheckActiveXAppIds(ctx); break;
        case Walk::ActiveXTypeLibs: CheckActiveXTypeLibs(ctx); break;
        case Walk::Shortcuts: SearchShortcuts(ctx); break;
    }
}

}  // namespace

void RunScanSection(ScanContext& ctx, int section) {
    const SectionWalk* previous = nullptr;
    for (const SectionWalk& row : kSectionWalks) {
        if (row.section != section) continue;
        if (!previous || previous->root != row.root) {
            BeginScanSection(ctx, section, row.root, row.rootName);
        } else if (!ctx.running.load()) {
            break;
        }
        RunWalk(ctx, row);
        previous = &row;
    }
    if (previous) EndScanSection(ctx);
}
