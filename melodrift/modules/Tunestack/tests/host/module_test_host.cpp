// The module test host.
#include "module_test_host.h"

#include "library/library_dlg.h"
#include "micro/ext_micro.h"
#include "patinex/patinex.h"
#include "xml/enxml.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace mdtest {

namespace {

const wchar_t kFrameClass[] = L"MdModuleTestFrame";

bool SameName(const wchar_t* a, const std::wstring& b) { return a && lstrcmpiW(a, b.c_str()) == 0; }

}  // namespace

CModuleTestHost::CModuleTestHost(std::wstring programFolder) : m_programFolder(std::move(programFolder)) {}

CModuleTestHost::~CModuleTestHost()
{
    Unload();
    if (m_micro) m_micro->Stop();
}

LRESULT CALLBACK CModuleTestHost::FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE) {
        // The module's window fills the frame's client area, as in the frame's MDI client.
        HWND child = GetWindow(hwnd, GW_CHILD);
        if (child) MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool CModuleTestHost::Load(const std::wstring& dllPath)
{
    m_library = LoadLibraryW(dllPath.c_str());
    if (!m_library) {
        m_error = L"LoadLibrary failed for " + dllPath;
        return false;
    }
    const auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(m_library, name)); };
    m_initialize = reinterpret_cast<PFN_OrvoInitialize>(find("OrvoInitialize"));
    m_getMenu = reinterpret_cast<PFN_OrvoGetMenu>(find("OrvoGetMenu"));
    m_getAccel = reinterpret_cast<PFN_OrvoGetAccelTable>(find("OrvoGetAccelTable"));
    m_changeState = reinterpret_cast<PFN_OrvoChangeState>(find("OrvoChangeState"));
    m_passMessage = reinterpret_cast<PFN_OrvoPassMessage>(find("OrvoPassMessage"));
    m_onCmdMsg = reinterpret_cast<PFN_OrvoOnCmdMsg>(find("OrvoOnCmdMsg"));
    m_tryClose = reinterpret_cast<PFN_OrvoTryClose>(find("OrvoTryClose"));
    m_loadSkin = reinterpret_cast<PFN_OrvoLoadSkin>(find("OrvoLoadSkin"));
    m_getModuleInfo = reinterpret_cast<PFN_OrvoGetModuleInfo>(find("OrvoGetModuleInfo"));
    if (!m_initialize || !m_getMenu || !m_changeState || !m_getModuleInfo) {
        m_error = L"a required export is missing";
        return false;
    }
    m_info = {};
    m_info.Size = 20;
    m_getModuleInfo(0, &m_info);
    if (!m_info.Name || !m_info.Name[0]) {
        m_error = L"the module gives no name";
        return false;
    }
    m_name = m_info.Name;

    WNDCLASSEXW wc = {sizeof(wc)};
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), kFrameClass, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        wc.lpszClassName = kFrameClass;
        RegisterClassExW(&wc);
    }
    m_frame = CreateWindowExW(0, kFrameClass, (L"Melodrift : " + m_name).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20, 20, 900, 560, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!m_frame) {
        m_error = L"the frame window could not be made";
        return false;
    }
    m_window = m_initialize(m_frame, m_scratch, 260, this);
    if (!m_window) {
        m_error = L"OrvoInitialize refused";
        return false;
    }
    m_menu = m_getMenu(m_window);
    m_accel = m_getAccel ? m_getAccel(m_window) : nullptr;
    m_changeState(m_window, 1);
    ShowWindow(m_window, SW_SHOW);
    ShowWindow(m_frame, SW_SHOW);
    RECT client = {};
    GetClientRect(m_frame, &client);
    MoveWindow(m_window, 0, 0, client.right, client.bottom, TRUE);
    UpdateWindow(m_frame);
    return true;
}

void CModuleTestHost::Unload()
{
    if (m_library) {
        if (m_window) {
            if (m_tryClose) m_tryClose();
            m_changeState(m_window, 0);
            if (IsWindow(m_window)) DestroyWindow(m_window);
        }
        if (m_microInterface.m_owned && m_micro) m_micro->Stop();
        m_microInterface.m_owned = false;
        if (m_micro) m_micro->SetDataCallback(nullptr, 0);
        FreeLibrary(m_library);
    }
    if (m_frame) DestroyWindow(m_frame);
    m_library = nullptr;
    m_frame = nullptr;
    m_window = nullptr;
    m_menu = nullptr;
    m_accel = nullptr;
}

int CModuleTestHost::PassMessage(const wchar_t* sender, const wchar_t* message)
{
    return m_passMessage ? m_passMessage(m_window, sender, message) : 0;
}

int CModuleTestHost::OnCmdMsg(UINT id, int code, ORVO_CMD_UI* ui, bool queryOnly)
{
    ORVO_CMD_HANDLER_INFO info = {};
    return m_onCmdMsg ? m_onCmdMsg(m_window, id, code, ui, queryOnly ? &info : nullptr) : 0;
}

std::vector<BusRecord> CModuleTestHost::Messages()
{
    std::lock_guard<std::mutex> guard(m_busLock);
    return m_messages;
}

bool CModuleTestHost::SetSkin(const std::wstring& skinFile)
{
    m_skinDocument.reset();
    bool ok = true;
    if (!skinFile.empty()) {
        auto document = std::make_unique<enXml>();
        ok = document->Load(skinFile) && LoadStandardSkin(skinFile.c_str()) == S_OK;
        if (ok) m_skinDocument = std::move(document);
    }
    if (m_loadSkin && m_window) m_loadSkin(m_window, 0);
    return ok;
}

// As the frame answers: the current skin's named colour, or the fallback
// without a skin.
COLORREF CModuleTestHost::XSkin::GetSkinColor(const wchar_t* name, COLORREF fallback)
{
    return m_host.m_skinDocument ? ::GetSkinColor(name, fallback) : fallback;
}

// As the frame answers: the module's child of "MAINFRAME"/"Modules", then its
// first "ModuleToolbar" of that ID.
enXml* CModuleTestHost::XSkin::GetModuleToolbar(const wchar_t* moduleName, const wchar_t* toolbarId)
{
    const enXml* root = m_host.m_skinDocument.get();
    const enXml* main = root ? root->FindChild(L"MAINFRAME") : nullptr;
    const enXml* modules = main ? main->FindChild(L"Modules") : nullptr;
    if (!modules || !moduleName || !toolbarId) return nullptr;
    for (enXml* module = modules->FirstChild(); module; module = module->NextSibling()) {
        std::wstring name;
        if (!module->GetAttribute(L"Name", name) || _wcsicmp(name.c_str(), moduleName) != 0) continue;
        for (enXml* toolbar = module->FirstChild(); toolbar; toolbar = toolbar->NextSibling()) {
            std::wstring id;
            if (_wcsicmp(toolbar->Name().c_str(), L"ModuleToolbar") == 0 && toolbar->GetAttribute(L"ID", id) &&
                _wcsicmp(id.c_str(), toolbarId) == 0)
                return toolbar;
        }
        return nullptr;
    }
    return nullptr;
}

HRESULT CModuleTestHost::GetCurrentSkinPath(BSTR* path)
{
    if (!path) return E_POINTER;
    *path = nullptr;
    return S_FALSE;
}

bool CModuleTestHost::IsOwner(const wchar_t* owner) const
{
    return owner && (lstrcmpiW(owner, m_name.c_str()) == 0 || lstrcmpiW(owner, L"Main frame") == 0);
}

// ---- IApplication ---------------------------------------------------------------------------------

BOOL CModuleTestHost::XApplication::WriteSetting(const wchar_t* owner, const wchar_t* key, const wchar_t* value)
{
    if (!m_host.IsOwner(owner) || !key) return FALSE;
    return WritePrivateProfileStringW((std::wstring(owner) + L": params").c_str(), key, value,
                                      m_host.SettingsFile().c_str());
}

BOOL CModuleTestHost::XApplication::ReadSetting(const wchar_t* owner, const wchar_t* key, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0) return FALSE;
    buffer[0] = L'\0';
    if (!m_host.IsOwner(owner) || !key) return FALSE;
    GetPrivateProfileStringW((std::wstring(owner) + L": params").c_str(), key, L"", buffer, static_cast<DWORD>(size),
                             m_host.SettingsFile().c_str());
    return buffer[0] ? TRUE : FALSE;
}

BOOL CModuleTestHost::XApplication::RefreshModuleMenu(const wchar_t* moduleName)
{
    if (!SameName(moduleName, m_host.m_name) || !m_host.m_getMenu) return FALSE;
    m_host.m_menu = m_host.m_getMenu(m_host.m_window);
    return TRUE;
}

BOOL CModuleTestHost::XApplication::DeleteSetting(const wchar_t* owner, const wchar_t* key)
{
    if (!m_host.IsOwner(owner) || !key) return FALSE;
    return WritePrivateProfileStringW((std::wstring(owner) + L": params").c_str(), key, nullptr,
                                      m_host.SettingsFile().c_str());
}

BOOL CModuleTestHost::XApplication::ActivateModule(const wchar_t* moduleName)
{
    if (!moduleName) return FALSE;
    m_host.m_activated.push_back(moduleName);
    return TRUE;
}

const ORVO_TEXT_LIST* CModuleTestHost::XApplication::ChooseFromLibrary()
{
    ++m_host.m_libraryRuns;
    m_chosen.clear();
    m_pointers.clear();
    CLibraryDlg dialog(std::filesystem::path(m_host.m_libraryFolder + L"fileDB.dat"),
                       m_host.m_libraryFolder + L"playlists.xml", nullptr);
    dialog.DoModal();
    m_chosen = dialog.GetChosen();
    for (const std::wstring& text : m_chosen) m_pointers.push_back(text.c_str());
    m_list.Count = static_cast<int>(m_pointers.size());
    m_list.Items = m_pointers.empty() ? nullptr : m_pointers.data();
    return &m_list;
}

// ---- IModuleCom --------------------------------------------------------------------------------------

int CModuleTestHost::XModuleCom::SendMessage(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message)
{
    BusRecord record;
    record.recipient = recipient ? recipient : L"";
    record.sender = sender ? sender : L"";
    record.message = message ? message : L"";
    int result = MESSAGE_RECIPIER_NOT_FOUND;
    if (SameName(recipient, m_host.m_name)) {
        result = m_host.PassMessage(sender, message) ? MESSAGE_OK : MESSAGE_RECIPIER_ERROR;
    } else {
        for (const std::wstring& peer : m_host.m_peers) {
            if (SameName(recipient, peer)) result = MESSAGE_OK;
        }
    }
    record.result = result;
    std::lock_guard<std::mutex> guard(m_host.m_busLock);
    m_host.m_messages.push_back(record);
    return result;
}

ModuleInfo* CModuleTestHost::XModuleCom::GetModuleInfo(const wchar_t* moduleName)
{
    return SameName(moduleName, m_host.m_name) ? &m_host.m_info : nullptr;
}

// ---- IMicro over the capture engine --------------------------------------------------------------------

CExtMicro& CModuleTestHost::Micro()
{
    if (!m_micro) m_micro = std::make_unique<CExtMicro>();
    return *m_micro;
}

IMicro* CModuleTestHost::GetMicro()
{
    Micro();
    return &m_microInterface;
}

BOOL CModuleTestHost::XMicro::Start()
{
    CExtMicro& micro = m_host.Micro();
    std::int32_t result = micro.Start();
    if (result == kMicroFailedState) {
        micro.Close();
        result = micro.Start();
    }
    return result == kMicroOk;
}

BOOL CModuleTestHost::XMicro::Stop() { return m_host.Micro().Stop() == kMicroOk; }
BOOL CModuleTestHost::XMicro::Pause() { return m_host.Micro().Pause() == kMicroOk; }
const WAVEFORMATEX* CModuleTestHost::XMicro::GetFormat() { return m_host.Micro().GetFormat(); }
BOOL CModuleTestHost::XMicro::SetFormat(const WAVEFORMATEX* format) { return m_host.Micro().SetFormat(format) == kMicroOk; }
int CModuleTestHost::XMicro::GetBufferCount() { return m_host.Micro().GetBufferCount(); }
BOOL CModuleTestHost::XMicro::SetBufferCount(int count) { return m_host.Micro().SetBufferCount(count) == kMicroOk; }
int CModuleTestHost::XMicro::GetBufferBytes() { return m_host.Micro().GetBufferBytes(); }
BOOL CModuleTestHost::XMicro::SetBufferBytes(int bytes) { return m_host.Micro().SetBufferBytes(bytes) == kMicroOk; }

BOOL CModuleTestHost::XMicro::SetDataCallback(ORVO_MICRO_CALLBACK callback, UINT_PTR userData)
{
    // The same call as the engine's: (user data, block, bytes) in the C calling convention.
    return m_host.Micro().SetDataCallback(reinterpret_cast<MicroDataCallback>(callback), userData) == kMicroOk;
}

const wchar_t* CModuleTestHost::XMicro::GetRecorderOwner() { return m_owned ? m_host.m_name.c_str() : nullptr; }

BOOL CModuleTestHost::XMicro::AcquireRecorder(const wchar_t* moduleName)
{
    if (!SameName(moduleName, m_host.m_name)) return FALSE;
    if (m_owned) m_host.Micro().Stop();
    m_owned = true;
    ::SendMessageW(m_host.m_window, ORVO_WM_RECORDER_ACQUIRED, 0, 0);
    return TRUE;
}

BOOL CModuleTestHost::XMicro::ReleaseRecorder(const wchar_t* moduleName)
{
    if (!SameName(moduleName, m_host.m_name)) return FALSE;
    if (m_owned) {
        m_host.Micro().Stop();
        m_owned = false;
    }
    return TRUE;
}

BOOL CModuleTestHost::XMicro::SetCanRecord(const wchar_t* moduleName, BOOL canRecord)
{
    if (!SameName(moduleName, m_host.m_name)) return FALSE;
    m_canRecord = canRecord != FALSE;
    return TRUE;
}

int CModuleTestHost::XMicro::GetState() { return m_host.Micro().GetState(); }

// ---- Helpers ---------------------------------------------------------------------------------------------

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

void RemoveTree(const std::wstring& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(folder), ignored);
}

std::wstring TempFolderOf(const std::wstring& name, DWORD processId)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name + L"-" + std::to_wstring(processId) + L"\\";
}

std::wstring FreshTempFolder(const std::wstring& name)
{
    // One folder per process: tests of one program may run side by side.
    std::wstring folder = TempFolderOf(name, GetCurrentProcessId());
    RemoveTree(folder);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(folder), ignored);
    return folder;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace mdtest
