#include "host_services.h"

#include "frame_services.h"
#include "fw/strutil.h"
#include "message_bus.h"
#include "module_registry.h"
#include "patinex/patinex.h"
#include "settings.h"
#include "utilon/utilon.h"

#include <shellapi.h>

#include <vector>

CHostServices::CHostServices(CModuleRegistry& registry, CMessageBus& bus, const CHostSettings& settings,
                             IFrameServices& frame, std::wstring programFolder)
    : m_registry(registry), m_bus(bus), m_settings(settings), m_frame(frame), m_programFolder(std::move(programFolder)) {
    if (m_programFolder.size() > 260) m_programFolder.resize(260);
}

bool CHostServices::IsAllowedOwner(const wchar_t* owner) const {
    if (!owner) return false;
    return fw::EqualsNoCase(owner, ORVO_MAIN_FRAME_NAME) || m_registry.FindByName(owner) != nullptr;
}

// ---- IQueryInterface ------------------------------------------------------------

DWORD CHostServices::XQueryInterface::GetVersion() { return kVersion; }
IApplication* CHostServices::XQueryInterface::GetApplication() { return &m_host.m_xApplication; }
IPlayer* CHostServices::XQueryInterface::GetPlayer() { return nullptr; }
IMicro* CHostServices::XQueryInterface::GetMicro() { return nullptr; }
IModuleCom* CHostServices::XQueryInterface::GetModuleCom() { return &m_host.m_xModuleCom; }
ISkin* CHostServices::XQueryInterface::GetSkin() { return nullptr; }

HRESULT CHostServices::XQueryInterface::GetCurrentSkinPath(BSTR* path) {
    if (!path) return E_POINTER;
    *path = nullptr;
    DWORD n = ::GetSkinPath(nullptr, 0);
    if (n == 0) return S_FALSE;
    std::vector<wchar_t> buffer(n + 1, L'\0');
    n = ::GetSkinPath(buffer.data(), n + 1);
    *path = SysAllocStringLen(buffer.data(), n);
    return *path ? S_OK : E_OUTOFMEMORY;
}

// ---- IApplication ------------------------------------------------------------------

BOOL CHostServices::XApplication::WriteSetting(const wchar_t* owner, const wchar_t* key, const wchar_t* value) {
    if (!m_host.IsAllowedOwner(owner) || !key) return FALSE;
    return m_host.m_settings.Write(CHostSettings::OwnerSection(owner), key, value ? value : L"") ? TRUE : FALSE;
}

BOOL CHostServices::XApplication::ReadSetting(const wchar_t* owner, const wchar_t* key, wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return FALSE;
    buffer[0] = L'\0';
    if (!m_host.IsAllowedOwner(owner) || !key) return FALSE;
    std::wstring value =
        m_host.m_settings.Read(CHostSettings::OwnerSection(owner), key, L"", static_cast<std::size_t>(size - 1));
    value.copy(buffer, value.size());
    buffer[value.size()] = L'\0';
    return value.empty() ? FALSE : TRUE;
}

BOOL CHostServices::XApplication::RefreshModuleMenu(const wchar_t* moduleName) {
    CModuleEntry* e = m_host.m_registry.FindByName(moduleName);
    if (!e) return FALSE;
    e->Menu = e->OrvoGetMenu(e->Window);
    m_host.m_frame.OnModuleMenuChanged(e);
    if (e->Active) m_host.m_frame.OnActivationChanged();
    return TRUE;
}

const wchar_t* CHostServices::XApplication::GetProgramFolder() { return m_host.m_programFolder.c_str(); }

int CHostServices::XApplication::ShowMessageBox(UINT_PTR text, UINT_PTR caption, UINT_PTR type, UINT_PTR module,
                                                HWND parent) {
    return ::ShowMessageBox(text, caption, type, module, parent ? parent : m_host.m_frame.GetMainWindow());
}

int CHostServices::XApplication::ShowHelp() {
    std::wstring help = m_host.m_programFolder + L"Help\\Cantorel.chm";
    ShellExecuteW(nullptr, L"open", help.c_str(), nullptr, L"c:\\", SW_SHOWNORMAL);
    return 1;
}

BOOL CHostServices::XApplication::DeleteSetting(const wchar_t* owner, const wchar_t* key) {
    if (!m_host.IsAllowedOwner(owner) || !key) return FALSE;
    return m_host.m_settings.DeleteOwnerKey(owner, key) ? TRUE : FALSE;
}

const wchar_t* CHostServices::XApplication::GetActiveModuleName() {
    CModuleEntry* active = m_host.m_registry.FindActive();
    return active ? active->Info.Name : nullptr;
}

BOOL CHostServices::XApplication::ActivateModule(const wchar_t* moduleName) {
    return m_host.m_registry.ActivateModuleByName(moduleName) ? TRUE : FALSE;
}

void CHostServices::XApplication::SetStatusText(const wchar_t* text) { m_host.m_frame.SetStatusText(text); }

void CHostServices::XApplication::ShowStatusText(const wchar_t* text, UINT milliseconds) {
    m_host.m_frame.ShowStatusText(text, milliseconds);
}

const ORVO_TEXT_LIST* CHostServices::XApplication::ChooseFromLibrary() {
    m_chosen = {0, nullptr};
    return &m_chosen;
}

// ---- IModuleCom -------------------------------------------------------------------

int CHostServices::XModuleCom::SendMessage(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message) {
    return m_host.m_bus.Send(recipient, sender, message);
}

ModuleInfo* CHostServices::XModuleCom::GetModuleInfo(const wchar_t* moduleName) {
    return m_host.m_registry.GetModuleInfo(moduleName);
}
