// A host for testing one plug-in module DLL in the test's own process, the
// way the frame would run it: a frame window whose client holds the module's
// window, settings in "config.ini" of a program folder of the test's choice,
// a bus that records every message (and delivers to the module and to
// stand-ins for other modules), the media-library chooser on the data
// folder's files, the microphone over the real capture engine, and the
// skin interface over a skin file of the test's choice.
#pragma once

#include "host/host_interfaces.h"
#include "test_messages.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CExtMicro;

namespace mdtest {

struct BusRecord {
    std::wstring recipient;
    std::wstring sender;
    std::wstring message;
    int result = -1;
};

class CModuleTestHost : public IQueryInterface {
public:
    // `programFolder` ends with a backslash; config.ini is written there.
    explicit CModuleTestHost(std::wstring programFolder);
    ~CModuleTestHost();
    CModuleTestHost(const CModuleTestHost&) = delete;
    CModuleTestHost& operator=(const CModuleTestHost&) = delete;

    // Loads the DLL, checks its exports, shows a frame and initialises the
    // module in it. False (with Error()) when any step fails.
    bool Load(const std::wstring& dllPath);
    // Asks OrvoTryClose, deactivates, destroys the window and frees the DLL.
    void Unload();
    const std::wstring& Error() const { return m_error; }

    HWND Frame() const { return m_frame; }
    HWND ModuleWindow() const { return m_window; }
    HMENU Menu() const { return m_menu; }
    HACCEL Accelerators() const { return m_accel; }
    const std::wstring& ModuleName() const { return m_name; }

    int PassMessage(const wchar_t* sender, const wchar_t* message);
    // OrvoOnCmdMsg; `ui` for ORVO_CN_UPDATE_COMMAND_UI.
    int OnCmdMsg(UINT id, int code, ORVO_CMD_UI* ui = nullptr, bool queryOnly = false);

    // Stand-ins for other modules on the bus: they accept every message.
    void AddPeer(const std::wstring& name) { m_peers.push_back(name); }
    std::vector<BusRecord> Messages();
    const std::vector<std::wstring>& Activated() const { return m_activated; }
    const std::wstring& StatusText() const { return m_status; }
    std::wstring SettingsFile() const { return m_programFolder + L"config.ini"; }
    // Where ChooseFromLibrary finds "fileDB.dat" and "playlists.xml".
    void SetLibraryFolder(std::wstring folder) { m_libraryFolder = std::move(folder); }
    int LibraryRuns() const { return m_libraryRuns; }
    // The capture engine behind GetMicro (created on first use).
    CExtMicro& Micro();
    // Makes a skin file current as the frame does (the skin manager's current
    // skin, so that its pictures are found, and the document ISkin answers
    // from), or none for an empty path; then, when a module is loaded, asks it
    // to reload its skin (OrvoLoadSkin) as after a skin change. False when the
    // file cannot be read (no skin then).
    bool SetSkin(const std::wstring& skinFile);

    // IQueryInterface
    DWORD GetVersion() override { return 0x04000060; }
    IApplication* GetApplication() override { return &m_application; }
    IPlayer* GetPlayer() override { return nullptr; }
    IMicro* GetMicro() override;
    IModuleCom* GetModuleCom() override { return &m_com; }
    ISkin* GetSkin() override { return &m_skin; }
    HRESULT GetCurrentSkinPath(BSTR* path) override;

private:
    struct XApplication : IApplication {
        explicit XApplication(CModuleTestHost& host) : m_host(host) {}
        BOOL WriteSetting(const wchar_t* owner, const wchar_t* key, const wchar_t* value) override;
        BOOL ReadSetting(const wchar_t* owner, const wchar_t* key, wchar_t* buffer, int size) override;
        BOOL RefreshModuleMenu(const wchar_t* moduleName) override;
        const wchar_t* GetProgramFolder() override { return m_host.m_programFolder.c_str(); }
        int ShowMessageBox(UINT_PTR, UINT_PTR, UINT_PTR, UINT_PTR, HWND) override { return IDOK; }
        int ShowHelp() override { return 1; }
        BOOL DeleteSetting(const wchar_t* owner, const wchar_t* key) override;
        const wchar_t* GetActiveModuleName() override { return m_host.m_name.c_str(); }
        BOOL ActivateModule(const wchar_t* moduleName) override;
        void SetStatusText(const wchar_t* text) override { m_host.m_status = text ? text : L""; }
        void ShowStatusText(const wchar_t* text, UINT) override { m_host.m_status = text ? text : L""; }
        const ORVO_TEXT_LIST* ChooseFromLibrary() override;
        CModuleTestHost& m_host;
        std::vector<std::wstring> m_chosen;
        std::vector<const wchar_t*> m_pointers;
        ORVO_TEXT_LIST m_list = {0, nullptr};
    };
    struct XModuleCom : IModuleCom {
        explicit XModuleCom(CModuleTestHost& host) : m_host(host) {}
        int SendMessage(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message) override;
        ModuleInfo* GetModuleInfo(const wchar_t* moduleName) override;
        CModuleTestHost& m_host;
    };
    struct XMicro : IMicro {
        explicit XMicro(CModuleTestHost& host) : m_host(host) {}
        BOOL Start() override;
        BOOL Stop() override;
        BOOL Pause() override;
        const WAVEFORMATEX* GetFormat() override;
        BOOL SetFormat(const WAVEFORMATEX* format) override;
        int GetBufferCount() override;
        BOOL SetBufferCount(int count) override;
        int GetBufferBytes() override;
        BOOL SetBufferBytes(int bytes) override;
        BOOL SetDataCallback(ORVO_MICRO_CALLBACK callback, UINT_PTR userData) override;
        const wchar_t* GetRecorderOwner() override;
        BOOL AcquireRecorder(const wchar_t* moduleName) override;
        BOOL ReleaseRecorder(const wchar_t* moduleName) override;
        BOOL SetCanRecord(const wchar_t* moduleName, BOOL canRecord) override;
        int GetState() override;
        CModuleTestHost& m_host;
        bool m_owned = false;
        bool m_canRecord = false;
    };

    struct XSkin : ISkin {
        explicit XSkin(CModuleTestHost& host) : m_host(host) {}
        COLORREF GetSkinColor(const wchar_t* name, COLORREF fallback) override;
        BOOL SkinWindow(HWND, BOOL) override { return TRUE; }
        enXml* GetModuleToolbar(const wchar_t* moduleName, const wchar_t* toolbarId) override;
        CModuleTestHost& m_host;
    };

    bool IsOwner(const wchar_t* owner) const;
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring m_programFolder;
    std::wstring m_libraryFolder;
    std::wstring m_error;
    HMODULE m_library = nullptr;
    HWND m_frame = nullptr;
    HWND m_window = nullptr;
    HMENU m_menu = nullptr;
    HACCEL m_accel = nullptr;
    std::wstring m_name;
    ModuleInfo m_info = {};
    wchar_t m_scratch[260] = {};
    PFN_OrvoInitialize m_initialize = nullptr;
    PFN_OrvoGetMenu m_getMenu = nullptr;
    PFN_OrvoGetAccelTable m_getAccel = nullptr;
    PFN_OrvoChangeState m_changeState = nullptr;
    PFN_OrvoLoadSkin m_loadSkin = nullptr;
    PFN_OrvoPassMessage m_passMessage = nullptr;
    PFN_OrvoOnCmdMsg m_onCmdMsg = nullptr;
    PFN_OrvoTryClose m_tryClose = nullptr;
    PFN_OrvoGetModuleInfo m_getModuleInfo = nullptr;

    XApplication m_application{*this};
    XModuleCom m_com{*this};
    XMicro m_microInterface{*this};
    XSkin m_skin{*this};
    std::unique_ptr<enXml> m_skinDocument;
    std::unique_ptr<CExtMicro> m_micro;
    std::vector<std::wstring> m_peers;
    std::vector<std::wstring> m_activated;
    std::wstring m_status;
    std::mutex m_busLock;
    std::vector<BusRecord> m_messages;
    int m_libraryRuns = 0;
};

// The folder of the running test program, with a trailing backslash.
std::wstring ExeFolder();
// A fresh, empty folder under the temporary folder (trailing backslash), of
// this process: "<name>-<process id>".
std::wstring FreshTempFolder(const std::wstring& name);
// The folder FreshTempFolder(name) gives in the process `processId`.
std::wstring TempFolderOf(const std::wstring& name, DWORD processId);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// Removes a folder with everything in it.
void RemoveTree(const std::wstring& folder);

}  // namespace mdtest
