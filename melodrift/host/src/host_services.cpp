#include "host_services.h"

#include "frame_services.h"
#include "fw/strutil.h"
#include "library/library_dlg.h"
#include "message_bus.h"
#include "micro/ext_micro.h"
#include "module_registry.h"
#include "paths.h"
#include "patinctl/patinctl.h"   // the control kinds
#include "patinex/patinex.h"
#include "player/ext_player_dx.h"
#include "settings.h"
#include "utilon/utilon.h"
#include "xml/enxml.h"

#include <shellapi.h>

#include <filesystem>
#include <vector>

CHostServices::CHostServices(CModuleRegistry& registry, CMessageBus& bus, const CHostSettings& settings,
                             IFrameServices& frame, std::wstring programFolder)
    : m_registry(registry), m_bus(bus), m_settings(settings), m_frame(frame), m_programFolder(std::move(programFolder)) {
    if (m_programFolder.size() > 260) m_programFolder.resize(260);
}

CModuleEntry* CHostServices::FindLastByName(const wchar_t* name) const {
    if (!name) return nullptr;
    const CArray<CModuleEntry*>& entries = m_registry.Entries();
    for (int i = entries.GetSize() - 1; i >= 0; --i) {
        if (fw::EqualsNoCase(entries[i]->Name(), name)) return entries[i];
    }
    return nullptr;
}

bool CHostServices::IsAllowedOwner(const wchar_t* owner) const {
    if (!owner) return false;
    return fw::EqualsNoCase(owner, ORVO_MAIN_FRAME_NAME) || m_registry.HasModuleNamed(owner);
}

// ---- IQueryInterface ------------------------------------------------------------

DWORD CHostServices::XQueryInterface::GetVersion() { return kVersion; }
IApplication* CHostServices::XQueryInterface::GetApplication() { return &m_host.m_xApplication; }
IPlayer* CHostServices::XQueryInterface::GetPlayer() { return &m_host.m_xPlayer; }
IMicro* CHostServices::XQueryInterface::GetMicro() { return &m_host.m_xMicro; }
IModuleCom* CHostServices::XQueryInterface::GetModuleCom() { return &m_host.m_xModuleCom; }
ISkin* CHostServices::XQueryInterface::GetSkin() { return &m_host.m_xSkin; }

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
    // The help page shipped with the program; 0 when it is missing or nothing opens it.
    std::wstring help = mdhost::HelpFilePath(m_host.m_programFolder);
    if (GetFileAttributesW(help.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    HINSTANCE opened = ShellExecuteW(nullptr, L"open", help.c_str(), nullptr, L"c:\\", SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(opened) > 32 ? 1 : 0;
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
    m_chosenTexts.clear();
    m_chosenTable.clear();
    // The library files live in the data folder, beside the settings file.
    const std::wstring& config = m_host.m_settings.Path();
    std::wstring dataFolder = config.substr(0, config.find_last_of(L"\\/") + 1);
    HWND owner = m_host.m_frame.GetMainWindow();
    CLibraryDlg dialog(std::filesystem::path(dataFolder + L"fileDB.dat"), dataFolder + L"playlists.xml",
                       owner ? CWnd::FromHandlePermanent(owner) : nullptr, m_host.m_frame.GetReferenceFont());
    if (dialog.DoModal() != -1) m_chosenTexts = dialog.GetChosen();
    for (const std::wstring& text : m_chosenTexts) m_chosenTable.push_back(text.c_str());
    m_chosen.Count = static_cast<int>(m_chosenTable.size());
    m_chosen.Items = m_chosenTable.empty() ? nullptr : m_chosenTable.data();
    return &m_chosen;
}

// ---- IModuleCom -------------------------------------------------------------------

int CHostServices::XModuleCom::SendMessage(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message) {
    return m_host.m_bus.Send(recipient, sender, message);
}

ModuleInfo* CHostServices::XModuleCom::GetModuleInfo(const wchar_t* moduleName) {
    return m_host.m_registry.GetModuleInfo(moduleName);
}

// ---- IPlayer ----------------------------------------------------------------------

// The engine's block and the modules' block are the same record.
static_assert(sizeof(ORVO_SAMPLE_BLOCK) == sizeof(SampleBlock));
static_assert(offsetof(ORVO_SAMPLE_BLOCK, Channels) == offsetof(SampleBlock, channels));
static_assert(offsetof(ORVO_SAMPLE_BLOCK, Capacity) == offsetof(SampleBlock, capacity));
static_assert(offsetof(ORVO_SAMPLE_BLOCK, Filled) == offsetof(SampleBlock, filled));

namespace {

// The last module in registry order that owns the player (or the microphone).
CModuleEntry* LastOwner(const CModuleRegistry& registry, bool recorder) {
    const CArray<CModuleEntry*>& entries = registry.Entries();
    for (int i = entries.GetSize() - 1; i >= 0; --i) {
        if (recorder ? entries[i]->RecorderOwner : entries[i]->PlayerOwner) return entries[i];
    }
    return nullptr;
}

void Notify(CModuleEntry* module, UINT message) {
    if (module && module->Window) ::SendMessageW(module->Window, message, 0, 0);
}

}  // namespace

BOOL CHostServices::XPlayer::Play() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    if (!engine) return FALSE;
    std::int32_t result = engine->Play();
    if (result == kPlayerFailedState) {
        engine->Close();
        result = engine->Play();
    }
    if (result != kPlayerOk) return FALSE;
    m_host.m_frame.OnPlaybackStarted();
    return TRUE;
}

BOOL CHostServices::XPlayer::Stop() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    if (!engine) return FALSE;
    std::int32_t result = engine->Stop(kStopRequested);
    m_host.m_frame.OnPlaybackStopped();
    return result == kPlayerOk ? TRUE : FALSE;
}

BOOL CHostServices::XPlayer::Pause() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine && engine->Pause() == kPlayerOk ? TRUE : FALSE;
}

const WAVEFORMATEXTENSIBLE* CHostServices::XPlayer::GetFormat() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine ? engine->GetFormat() : nullptr;
}

BOOL CHostServices::XPlayer::SetFormat(const WAVEFORMATEXTENSIBLE* format) {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine && format && engine->SetFormat(format) == kPlayerOk ? TRUE : FALSE;
}

int CHostServices::XPlayer::GetSegmentCount() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine ? engine->GetSegmentCount() : 0;
}

BOOL CHostServices::XPlayer::SetSegmentCount(int count) {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine && engine->SetSegmentCount(count) == kPlayerOk ? TRUE : FALSE;
}

int CHostServices::XPlayer::GetSegmentBytes() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine ? engine->GetSegmentBytes() : 0;
}

BOOL CHostServices::XPlayer::SetSegmentBytes(int bytes) {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine && engine->SetSegmentBytes(bytes) == kPlayerOk ? TRUE : FALSE;
}

BOOL CHostServices::XPlayer::SetDataCallback(ORVO_PLAYER_CALLBACK callback, UINT_PTR userData) {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    if (!engine) return FALSE;
    // Same arguments, same record (checked above): the module's function is the engine's callback.
    PlayerDataCallback engineCallback = reinterpret_cast<PlayerDataCallback>(callback);
    return engine->SetDataCallback(engineCallback, static_cast<std::uintptr_t>(userData)) == kPlayerOk ? TRUE
                                                                                                       : FALSE;
}

DWORD CHostServices::XPlayer::GetUserValue() { return static_cast<DWORD>(m_userValue); }
int CHostServices::XPlayer::GetPositionRange() { return ORVO_POSITION_RANGE; }

BOOL CHostServices::XPlayer::SetUserValue(DWORD value) {
    InterlockedExchange(&m_userValue, static_cast<LONG>(value));
    return TRUE;
}

int CHostServices::XPlayer::GetVolume() {
    int position = 0;
    if (m_host.m_frame.GetVolumeSlider(position)) return position;
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine ? engine->GetVolume() : 0;
}

void CHostServices::XPlayer::SetVolume(int volume) {
    m_host.m_frame.SetVolumeSliders(volume);
    if (CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine()) engine->SetVolume(volume);
}

int CHostServices::XPlayer::GetBalance() {
    int position = 0;
    if (m_host.m_frame.GetBalanceSlider(position)) return position;
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine ? engine->GetBalance() : 50;
}

void CHostServices::XPlayer::SetBalance(int balance) {
    m_host.m_frame.SetBalanceSliders(balance);
    if (CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine()) engine->SetBalance(balance);
}

const wchar_t* CHostServices::XPlayer::GetPlayerOwner() {
    CModuleEntry* owner = m_host.m_registry.FindPlayerOwner();
    return owner ? owner->Info.Name : nullptr;
}

BOOL CHostServices::XPlayer::AcquirePlayer(const wchar_t* moduleName) {
    CModuleEntry* module = m_host.FindLastByName(moduleName);
    if (!module) return FALSE;
    CModuleEntry* owner = LastOwner(m_host.m_registry, false);
    if (owner) {
        if (CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine()) engine->Stop(kStopRequested);
        if (owner != module) {
            owner->PlayerOwner = 0;
            Notify(owner, ORVO_WM_PLAYER_RELEASED);
        }
    }
    module->PlayerOwner = 1;
    Notify(module, ORVO_WM_PLAYER_ACQUIRED);
    return TRUE;
}

BOOL CHostServices::XPlayer::ReleasePlayer(const wchar_t* moduleName) {
    CModuleEntry* module = m_host.FindLastByName(moduleName);
    if (!module) return FALSE;
    if (module->PlayerOwner) {
        if (CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine()) engine->Stop(kStopRequested);
        module->PlayerOwner = 0;
    }
    return TRUE;
}

BOOL CHostServices::XPlayer::SetCanPlay(const wchar_t* moduleName, BOOL canPlay) {
    CModuleEntry* module = m_host.m_registry.FindByName(moduleName);
    if (!module) return FALSE;
    module->CanPlay = canPlay ? 1 : 0;
    m_host.m_frame.RefreshCommandStates();
    return TRUE;
}

BOOL CHostServices::XPlayer::GetShuffle() { return m_host.m_shuffle ? TRUE : FALSE; }
BOOL CHostServices::XPlayer::GetRepeat() { return m_host.m_repeat ? TRUE : FALSE; }

int CHostServices::XPlayer::GetState() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine ? engine->GetState() : ORVO_PLAYER_FAILED;
}

int64_t CHostServices::XPlayer::GetPlayedFrames() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine ? engine->GetPlayedFrames() : 0;
}

BOOL CHostServices::XPlayer::RequestRewrite() {
    CExtPlayerDX* engine = m_host.m_frame.GetPlayerEngine();
    return engine && engine->RequestRewrite() == kPlayerOk ? TRUE : FALSE;
}

// ---- IMicro -----------------------------------------------------------------------

BOOL CHostServices::XMicro::Start() {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    if (!engine) return FALSE;
    std::int32_t result = engine->Start();
    if (result == kMicroFailedState) {
        engine->Close();
        result = engine->Start();
    }
    return result == kMicroOk ? TRUE : FALSE;
}

BOOL CHostServices::XMicro::Stop() {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine && engine->Stop() == kMicroOk ? TRUE : FALSE;
}

BOOL CHostServices::XMicro::Pause() {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine && engine->Pause() == kMicroOk ? TRUE : FALSE;
}

const WAVEFORMATEX* CHostServices::XMicro::GetFormat() {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine ? engine->GetFormat() : nullptr;
}

BOOL CHostServices::XMicro::SetFormat(const WAVEFORMATEX* format) {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine && format && engine->SetFormat(format) == kMicroOk ? TRUE : FALSE;
}

int CHostServices::XMicro::GetBufferCount() {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine ? engine->GetBufferCount() : 0;
}

BOOL CHostServices::XMicro::SetBufferCount(int count) {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine && engine->SetBufferCount(count) == kMicroOk ? TRUE : FALSE;
}

int CHostServices::XMicro::GetBufferBytes() {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine ? engine->GetBufferBytes() : 0;
}

BOOL CHostServices::XMicro::SetBufferBytes(int bytes) {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine && engine->SetBufferBytes(bytes) == kMicroOk ? TRUE : FALSE;
}

BOOL CHostServices::XMicro::SetDataCallback(ORVO_MICRO_CALLBACK callback, UINT_PTR userData) {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    if (!engine) return FALSE;
    MicroDataCallback engineCallback = reinterpret_cast<MicroDataCallback>(callback);
    return engine->SetDataCallback(engineCallback, static_cast<std::uintptr_t>(userData)) == kMicroOk ? TRUE : FALSE;
}

const wchar_t* CHostServices::XMicro::GetRecorderOwner() {
    CModuleEntry* owner = m_host.m_registry.FindRecorderOwner();
    return owner ? owner->Info.Name : nullptr;
}

BOOL CHostServices::XMicro::AcquireRecorder(const wchar_t* moduleName) {
    CModuleEntry* module = m_host.FindLastByName(moduleName);
    if (!module) return FALSE;
    CModuleEntry* owner = LastOwner(m_host.m_registry, true);
    if (owner) {
        if (CExtMicro* engine = m_host.m_frame.GetMicroEngine()) engine->Stop();
        if (owner != module) {
            owner->RecorderOwner = 0;
            Notify(owner, ORVO_WM_RECORDER_RELEASED);
        }
    }
    module->RecorderOwner = 1;
    Notify(module, ORVO_WM_RECORDER_ACQUIRED);
    return TRUE;
}

BOOL CHostServices::XMicro::ReleaseRecorder(const wchar_t* moduleName) {
    CModuleEntry* module = m_host.FindLastByName(moduleName);
    if (!module) return FALSE;
    if (module->RecorderOwner) {
        if (CExtMicro* engine = m_host.m_frame.GetMicroEngine()) engine->Stop();
        module->RecorderOwner = 0;
    }
    return TRUE;
}

BOOL CHostServices::XMicro::SetCanRecord(const wchar_t* moduleName, BOOL canRecord) {
    CModuleEntry* module = m_host.m_registry.FindByName(moduleName);
    if (!module) return FALSE;
    module->CanRecord = canRecord ? 1 : 0;
    m_host.m_frame.RefreshCommandStates();
    return TRUE;
}

int CHostServices::XMicro::GetState() {
    CExtMicro* engine = m_host.m_frame.GetMicroEngine();
    return engine ? engine->GetState() : ORVO_MICRO_FAILED;
}

// ---- ISkin --------------------------------------------------------------------------

COLORREF CHostServices::XSkin::GetSkinColor(const wchar_t* name, COLORREF fallback) {
    return ::GetSkinColor(name, fallback);
}

namespace {

// The skinned kind for a standard window, or 0 to leave it as it is.
int SkinKindOf(HWND window) {
    wchar_t className[64] = {};
    if (!::GetClassNameW(window, className, 64)) return 0;
    if (fw::EqualsNoCase(className, L"Static")) return PT_KIND_STATIC;
    if (fw::EqualsNoCase(className, L"#32770")) return PT_KIND_SCALEDIALOG;
    if (fw::EqualsNoCase(className, L"msctls_trackbar32")) return PT_KIND_SCALESLIDER;
    if (fw::EqualsNoCase(className, L"ComboBox")) return PT_KIND_COMBOBOX;
    if (fw::EqualsNoCase(className, L"Edit")) return PT_KIND_EDITBOX;
    if (fw::EqualsNoCase(className, L"Button")) {
        LONG style = ::GetWindowLongW(window, GWL_STYLE);
        bool groupBox = (style & 7) == BS_GROUPBOX;
        bool checkLike = ((style & 3) == 3 && !(style & BS_PUSHLIKE)) || (style & 0x9) == 0x9;
        return !groupBox && checkLike ? PT_KIND_CHECKBUTTON : PT_KIND_SCALEBUTTON;
    }
    return 0;
}

// The control library's in-place skinning, looked up when first needed: a
// control library without it leaves the windows standard.
using PtSkinWindowFn = BOOL(__cdecl*)(HWND, int, BOOL);

PtSkinWindowFn SkinFunction() {
    static PtSkinWindowFn function = [] {
        HMODULE library = ::GetModuleHandleW(L"Patinctl.dll");
        if (!library) library = ::LoadLibraryW(L"Patinctl.dll");
        return library ? reinterpret_cast<PtSkinWindowFn>(
                             reinterpret_cast<void*>(::GetProcAddress(library, "PtSkinWindow")))
                       : nullptr;
    }();
    return function;
}

void SkinTree(PtSkinWindowFn skin, HWND window, BOOL flag) {
    if (int kind = SkinKindOf(window)) skin(window, kind, flag);
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        SkinTree(skin, child, flag);
    }
}

}  // namespace

BOOL CHostServices::XSkin::SkinWindow(HWND window, BOOL flag) {
    PtSkinWindowFn skin = SkinFunction();
    if (skin && window && ::IsWindow(window)) SkinTree(skin, window, flag);
    return TRUE;
}

enXml* CHostServices::XSkin::GetModuleToolbar(const wchar_t* moduleName, const wchar_t* toolbarId) {
    const enXml* root = m_host.m_frame.GetSkinDocument();
    if (!root || !moduleName || !toolbarId) return nullptr;
    const enXml* mainFrame = fw::EqualsNoCase(root->Name().c_str(), L"MAINFRAME") ? root : root->FindChild(L"MAINFRAME");
    const enXml* modules = mainFrame ? mainFrame->FindChild(L"Modules") : nullptr;
    if (!modules) return nullptr;
    for (enXml* child = modules->FirstChild(); child; child = child->NextSibling()) {
        std::wstring name;
        if (!child->GetAttribute(L"Name", name) || !fw::EqualsNoCase(name.c_str(), moduleName)) continue;
        for (enXml* element = child->FirstChild(); element; element = element->NextSibling()) {
            std::wstring id;
            if (fw::EqualsNoCase(element->Name().c_str(), L"ModuleToolbar") && element->GetAttribute(L"ID", id) &&
                fw::EqualsNoCase(id.c_str(), toolbarId)) {
                return element;
            }
        }
        return nullptr;
    }
    return nullptr;
}
