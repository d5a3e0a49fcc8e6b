#include "module_registry.h"

#include "../res/resource.h"
#include "frame_services.h"
#include "fw/strutil.h"
#include "fw/win/module.h"
#include "fw/win/msgmap.h"
#include "host_resources.h"
#include "journix/journix.h"
#include "patinex/patinex.h"
#include "xml/enxml.h"

#include <algorithm>
#include <vector>

namespace {

constexpr wchar_t kLogSource[] = L"MainFrame";
constexpr wchar_t kPlayvox[] = L"Playvox";

template <class... Args>
void Log(const wchar_t* format, Args... args) {
    enJournix()->WriteLogMessage(kLogSource, format, args...);
}

std::vector<std::wstring> ListFiles(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L".." && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    // The order an NTFS folder lists its files in, whatever the file system.
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return fw::CompareNoCase(a, b) < 0; });
    return names;
}

template <class T>
T Export(HMODULE library, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const enXml* ModulesElement(const enXml* root) {
    const enXml* frame = root ? root->FindChild(L"MAINFRAME") : nullptr;
    return frame ? frame->FindChild(L"Modules") : nullptr;
}

}  // namespace

CModuleRegistry::CModuleRegistry(IFrameServices& frame) : m_frame(frame) {}

CModuleRegistry::~CModuleRegistry() {
    Unload();
    for (HMENU menu : {m_goTo, m_skinsMenu, m_languageMenu})
        if (menu && IsMenu(menu)) DestroyMenu(menu);
}

std::wstring CModuleRegistry::DisplayNameFor(const wchar_t* name, int* fixedOrder) {
    struct Row {
        const wchar_t* name;
        UINT string;
        int order;
    };
    static const Row rows[] = {
        {L"Vocalith", IDS_MODULE_VOCALITH, 0},         {L"Discwright", IDS_MODULE_DISCWRIGHT, 1},
        {L"Transcodia", IDS_MODULE_TRANSCODIA, 2},     {L"Discreel", IDS_MODULE_DISCREEL, 3},
        {L"Sleevewright", IDS_MODULE_SLEEVEWRIGHT, 4}, {L"Tunestack", IDS_MODULE_TUNESTACK, 5},
        {L"Jestroom", IDS_MODULE_JESTROOM, 6},         {L"Sonicut", IDS_MODULE_SONICUT, -1},
    };
    if (fixedOrder) *fixedOrder = -1;
    std::wstring n = name ? name : L"";
    for (const Row& r : rows) {
        if (n != r.name) continue;
        if (fixedOrder) *fixedOrder = r.order;
        std::wstring text = mdhost::HostString(r.string);
        return text.empty() ? n : text;
    }
    if (n == kPlayvox) {
        if (fixedOrder) *fixedOrder = 8;
        return n;
    }
    // A module the table does not know is shown under its own name.
    return n;
}

void CModuleRegistry::Load(const LoadParams& params) {
    Log(L"Starting load modules...");
    if (!m_goTo) m_goTo = CreatePopupMenu();
    if (!m_skinsMenu) m_skinsMenu = CreatePopupMenu();
    if (!m_languageMenu) m_languageMenu = CreatePopupMenu();

    m_skins = DiscoverSkins(params.programFolder, params.languageShortName);
    m_currentSkin = -1;
    if (!m_skins.IsEmpty()) {
        m_currentSkin = 0;
        for (int i = 0; i < m_skins.GetSize(); ++i)
            if (fw::EqualsNoCase(m_skins[i].Caption, params.currentSkinName)) {
                m_currentSkin = i;
                break;
            }
        LoadStandardSkin(m_skins[m_currentSkin].Path.c_str());
    }

    LoadModules(params.programFolder);

    for (int i = 0; i < m_skins.GetSize() && i < kMaxListedSkins; ++i)
        AppendMenuW(m_skinsMenu, MF_STRING, ID_SKIN_FIRST + static_cast<UINT>(i), m_skins[i].Caption.c_str());
    if (params.languages)
        for (int i = 0; i < params.languages->GetSize(); ++i)
            AppendMenuW(m_languageMenu, MF_STRING, ID_LANGUAGE_FIRST + static_cast<UINT>(i),
                        (*params.languages)[i].Name.c_str());
    if (params.viewMenu) {
        InsertMenuW(params.viewMenu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(m_languageMenu),
                    mdhost::HostString(IDS_MENU_LANGUAGE).c_str());
        InsertMenuW(params.viewMenu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(m_skinsMenu),
                    mdhost::HostString(IDS_MENU_SKINS).c_str());
        InsertMenuW(params.viewMenu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(m_goTo),
                    mdhost::HostString(IDS_MENU_GOTO).c_str());
    }
    Log(L"Finished load modules...");
}

CArray<_sSkin> CModuleRegistry::DiscoverSkins(const std::wstring& programFolder, const std::wstring& shortName) {
    CArray<_sSkin> skins;
    const std::wstring folder = programFolder + L"Skins\\";
    const std::wstring suffix = shortName + L".xml";
    for (const std::wstring& name : ListFiles(folder + L"*.xml")) {
        if (name.size() <= suffix.size() || !fw::EndsWithNoCase(name, suffix)) continue;
        enXml doc;
        if (!doc.Load(folder + name)) continue;
        std::wstring caption;
        if (!mdxml::NameEquals(doc.Name(), L"SKIN_MM") || !doc.GetAttribute(L"Caption", caption) || caption.empty())
            continue;
        _sSkin skin;
        skin.Caption = caption;
        skin.Path = folder + name;
        doc.GetAttributeInt(L"Width", skin.Width);
        doc.GetAttributeInt(L"Height", skin.Height);
        skins.Add(skin);
    }
    return skins;
}

void CModuleRegistry::LoadModules(const std::wstring& programFolder) {
    const std::wstring folder = programFolder + L"Modules\\";
    const std::wstring loadingFormat = mdhost::HostString(IDS_LOADING_MODULE);
    for (const std::wstring& name : ListFiles(folder + L"*.dll")) {
        auto* e = new CModuleEntry;
        e->Path = folder + name;
        // The module's own dependencies are looked for beside it first.
        e->Library = LoadLibraryExW(e->Path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!e->Library) {
            Log(L"Failed to load library %s.", e->Path.c_str());
            delete e;
            continue;
        }
        Log(L"Loaded library %s successfully.", e->Path.c_str());
        HMODULE lib = e->Library;
        e->OrvoInitialize = Export<PFN_OrvoInitialize>(lib, "OrvoInitialize");
        e->OrvoGetMenu = Export<PFN_OrvoGetMenu>(lib, "OrvoGetMenu");
        e->OrvoGetAccelTable = Export<PFN_OrvoGetAccelTable>(lib, "OrvoGetAccelTable");
        e->OrvoChangeState = Export<PFN_OrvoChangeState>(lib, "OrvoChangeState");
        e->OrvoLoadSkin = Export<PFN_OrvoLoadSkin>(lib, "OrvoLoadSkin");
        e->OrvoPassMessage = Export<PFN_OrvoPassMessage>(lib, "OrvoPassMessage");
        e->OrvoProcessDllIdle = Export<PFN_OrvoProcessDllIdle>(lib, "OrvoProcessDllIdle");
        e->OrvoOnCmdMsg = Export<PFN_OrvoOnCmdMsg>(lib, "OrvoOnCmdMsg");
        e->OrvoPreTranslateMessage = Export<PFN_OrvoPreTranslateMessage>(lib, "OrvoPreTranslateMessage");
        e->OrvoTryClose = Export<PFN_OrvoTryClose>(lib, "OrvoTryClose");
        auto getInfo = Export<PFN_OrvoGetModuleInfo>(lib, "OrvoGetModuleInfo");
        if (!e->OrvoInitialize || !e->OrvoGetMenu || !e->OrvoChangeState || !getInfo) {
            FreeLibrary(lib);
            Log(L"Failed to attach library %s.", e->Path.c_str());
            delete e;
            continue;
        }
        e->Info.Size = sizeof(ModuleInfo);
        getInfo(0, &e->Info);
        if (!e->Info.Name || !e->Info.Name[0]) {
            FreeLibrary(lib);
            Log(L"Failed to attach library %s.", e->Path.c_str());
            delete e;
            continue;
        }
        e->DisplayName = DisplayNameFor(e->Info.Name);
        m_frame.SetSplashStatus(fw::Format(loadingFormat.c_str(), e->DisplayName.c_str()));
        e->OrderFile = fw::GetFileTitle(e->Path) + L".mvm";

        int index = 0;
        {
            std::unique_lock changing(m_entriesLock);
            index = m_entries.Add(e);
        }
        wchar_t scratch[260] = {};
        HWND window = e->OrvoInitialize(m_frame.GetModuleParent(), scratch, 260, m_frame.GetHostQueryInterface());
        if (!window) {
            {
                std::unique_lock changing(m_entriesLock);
                m_entries.RemoveAt(index);
            }
            FreeLibrary(lib);
            Log(L"Failed to attach module %s.", e->DisplayName.c_str());
            delete e;
            continue;
        }
        e->Window = window;
        if (e->OrvoGetAccelTable) e->Accel = e->OrvoGetAccelTable(window);
        e->Active = 0;
        e->PlayerOwner = 0;
        Log(L"Attached module %s successfully.", e->DisplayName.c_str());
    }
}

void CModuleRegistry::ApplyModuleOrder(const enXml* skinRoot) {
    for (CModuleEntry* e : m_entries) {
        e->Order = -1;
        e->Button = nullptr;
    }
    int position = 0;
    const enXml* modules = ModulesElement(skinRoot);
    for (const enXml* child = modules ? modules->FirstChild() : nullptr; child; child = child->NextSibling()) {
        std::wstring name;
        if (child->Name().empty() || !child->GetAttribute(L"Name", name)) continue;  // comments, unnamed entries
        CModuleEntry* module = FindByName(name.c_str());
        if (name == kPlayvox) {
            if (module) {
                module->Order = 8;
                ++position;
            }
            continue;
        }
        if (module) {
            int fixed = -1;
            DisplayNameFor(module->Info.Name, &fixed);
            module->Order = fixed >= 0 ? fixed : position;
            ++position;
        }
        void* button = m_frame.CreateModuleButton(*child, module);
        if (module) module->Button = button;
    }
    {
        std::unique_lock changing(m_entriesLock);
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const CModuleEntry* a, const CModuleEntry* b) { return a->Order < b->Order; });
    }
    RefillGoTo();
}

void CModuleRegistry::RefillGoTo() {
    if (!m_goTo) m_goTo = CreatePopupMenu();
    while (GetMenuItemCount(m_goTo) > 0) DeleteMenu(m_goTo, 0, MF_BYPOSITION);
    // Every order that a module holds, in ascending order; a gap left by a
    // module the skin lists but that is not loaded does not hide the ones after it.
    for (int k = 0; k <= kMaxOrder; ++k) {
        auto it = std::find_if(m_entries.begin(), m_entries.end(), [k](const CModuleEntry* e) { return e->Order == k; });
        if (it == m_entries.end()) continue;
        CModuleEntry* e = *it;
        AppendMenuW(m_goTo, MF_STRING, ID_GOTO_FIRST + static_cast<UINT>(k), e->DisplayName.c_str());
        e->Menu = e->OrvoGetMenu(e->Window);
    }
}

bool CModuleRegistry::ActivateModule(int order) {
    CModuleEntry* target = nullptr;
    if (order != -1)
        for (CModuleEntry* e : m_entries)
            if (e->Order == order) {
                target = e;
                break;
            }
    return ActivateEntry(target);
}

bool CModuleRegistry::ActivateModuleByName(const wchar_t* name) {
    if (!name) return false;
    for (CModuleEntry* e : m_entries)
        if (std::wstring(e->Name()) == name) return ActivateEntry(e);
    return false;
}

bool CModuleRegistry::ActivateEntry(CModuleEntry* target) {
    if (target) {
        if (target->OrvoLoadSkin) target->OrvoLoadSkin(target->Window, 0);
        target->OrvoChangeState(target->Window, 1);
        ShowWindow(target->Window, SW_SHOW);
        m_frame.SetFrameTitle(fw::Format(L"%s : %s", L"Melodrift", target->DisplayName.c_str()));
        target->Active = 1;
        if (target->Button) m_frame.CheckModuleButton(target->Button, true);
    }
    for (CModuleEntry* e : m_entries) {
        if (e == target || !e->Active) continue;
        ShowWindow(e->Window, SW_HIDE);
        e->OrvoChangeState(e->Window, 0);
        e->Active = 0;
        if (e->Button) m_frame.CheckModuleButton(e->Button, false);
    }
    m_frame.OnActivationChanged();
    return target != nullptr;
}

bool CModuleRegistry::TryCloseModules() {
    for (CModuleEntry* e : m_entries)
        if (e->OrvoTryClose && e->OrvoTryClose() == 0) return false;
    return true;
}

void CModuleRegistry::Unload() {
    for (CModuleEntry* e : m_entries) {
        if (!e->Active) continue;
        ShowWindow(e->Window, SW_HIDE);
        e->OrvoChangeState(e->Window, 0);
        e->Active = 0;
    }
    while (!m_entries.IsEmpty()) {
        CModuleEntry* e = m_entries[0];
        {
            std::unique_lock changing(m_entriesLock);
            m_entries.RemoveAt(0);
        }
        if (e->Window && IsWindow(e->Window)) DestroyWindow(e->Window);
        if (e->Library) FreeLibrary(e->Library);
        delete e;
    }
}

bool CModuleRegistry::PreTranslateMessage(MSG* msg) {
    CModuleEntry* active = FindActive();
    return active && active->OrvoPreTranslateMessage && active->OrvoPreTranslateMessage(active->Window, msg) != 0;
}

namespace {

bool DispatchCommand(CModuleEntry* module, UINT id, int code, void* extra, bool queryOnly) {
    if (!module || !module->OrvoOnCmdMsg) return false;
    ORVO_CMD_HANDLER_INFO info = {};
    if (code != CN_UPDATE_COMMAND_UI)
        return module->OrvoOnCmdMsg(module->Window, id, code, extra, queryOnly ? &info : nullptr) != 0;
    // The framework's update object stays on this side; the module sees a plain record.
    auto* ui = static_cast<CCmdUI*>(extra);
    ORVO_CMD_UI state = {id, ui ? (ui->m_bEnabled ? TRUE : FALSE) : TRUE, -1};
    if (module->OrvoOnCmdMsg(module->Window, id, ORVO_CN_UPDATE_COMMAND_UI, &state, queryOnly ? &info : nullptr) == 0)
        return false;
    if (ui && !queryOnly) {
        ui->Enable(state.Enabled != FALSE);
        if (state.Check >= 0) ui->SetCheck(state.Check);
    }
    return true;
}

}  // namespace

bool CModuleRegistry::OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) {
    return DispatchCommand(FindActive(), id, code, extra, queryOnly);
}

bool CModuleRegistry::OnCmdMsgInactive(UINT id, int code, void* extra, bool queryOnly) {
    for (CModuleEntry* e : m_entries)
        if (!e->Active && DispatchCommand(e, id, code, extra, queryOnly)) return true;
    return false;
}

void CModuleRegistry::OnIdle() {
    CModuleEntry* active = FindActive();
    if (active && active->OrvoProcessDllIdle) active->OrvoProcessDllIdle();
}

CModuleEntry* CModuleRegistry::FindActive() const {
    for (CModuleEntry* e : m_entries)
        if (e->Active) return e;
    return nullptr;
}

CModuleEntry* CModuleRegistry::FindPlayerOwner() const {
    for (CModuleEntry* e : m_entries)
        if (e->PlayerOwner) return e;
    return nullptr;
}

CModuleEntry* CModuleRegistry::FindLastPlayerOwner() const {
    CModuleEntry* owner = nullptr;
    for (CModuleEntry* e : m_entries)
        if (e->PlayerOwner) owner = e;
    return owner;
}

CModuleEntry* CModuleRegistry::FindRecorderOwner() const {
    for (CModuleEntry* e : m_entries)
        if (e->RecorderOwner) return e;
    return nullptr;
}

int CModuleRegistry::GetActiveOrder() const {
    CModuleEntry* active = FindActive();
    return active ? active->Order : -1;
}

CModuleEntry* CModuleRegistry::FindByName(const wchar_t* name) const {
    if (!name) return nullptr;
    for (CModuleEntry* e : m_entries)
        if (e->Info.Name && fw::EqualsNoCase(e->Info.Name, name)) return e;
    return nullptr;
}

bool CModuleRegistry::HasModuleNamed(const wchar_t* name) const {
    std::shared_lock looking(m_entriesLock);
    return FindByName(name) != nullptr;
}

ModuleInfo* CModuleRegistry::GetModuleInfo(const wchar_t* name) const {
    CModuleEntry* e = FindByName(name);
    return e ? &e->Info : nullptr;
}
