// What a Melodrift plug-in module sees of its host: the exports the host
// looks for in a module DLL, the record a module describes itself with, the
// window messages the host sends to module windows, and the interfaces the
// host offers (reached from the IQueryInterface pointer handed to
// OrvoInitialize).
//
// Everything here is a fixed binary contract with modules built elsewhere:
//   - Exports are extern "C" __cdecl functions with undecorated names.
//   - Interfaces are tables of functions in the slot order given, called in
//     the platform's member-function convention with the interface pointer as
//     the implicit first argument; texts are zero-terminated UTF-16, booleans
//     32-bit (1 true, 0 false). The host owns every interface object for the
//     life of its main frame; modules never free them.
//   - No C++ exception and no standard-library object crosses: a module must
//     not let an exception leave an export, and the host answers failures
//     with results.
#ifndef MELODRIFT_HOST_INTERFACES_H
#define MELODRIFT_HOST_INTERFACES_H

#include <windows.h>
#include <oleauto.h>

#include <stdint.h>

// ---- The module's self-description ------------------------------------------

// Filled by OrvoGetModuleInfo; 20 bytes in the 32-bit program. The host sets
// Size to 20 before the call. Name is the module's identity on the message
// bus, in settings sections and in the module order; it is owned by the
// module and must stay valid while the module is loaded.
struct ModuleInfo {
    uint32_t Size;
    const wchar_t* Name;
    uint32_t Reserved[3];  // the module's own; the host does not read them
};

// ---- Window messages the host sends to module windows ----------------------
#define ORVO_WM_PLAYER_ACQUIRED (WM_USER + 10)    // the module now owns the player
#define ORVO_WM_PLAYER_RELEASED (WM_USER + 12)    // it no longer does
#define ORVO_WM_RECORDER_ACQUIRED (WM_USER + 30)  // the module now owns the microphone
#define ORVO_WM_RECORDER_RELEASED (WM_USER + 31)  // it no longer does

// ---- Message bus outcome codes (IModuleCom::SendMessage) --------------------
#define MESSAGE_OK 0                    // the recipient handled the message
#define MESSAGE_RECIPIER_NOT_FOUND 1    // no module bears the recipient name
#define MESSAGE_SENDER_NOT_FOUND 2      // no module bears the sender name (and it is not "Main frame")
#define MESSAGE_RECIPIER_ERROR 3        // the recipient cannot take it, or refused it
#define MESSAGE_INTERNAL_ERROR 4        // not produced by the host

// Reserved names on the bus. "Main frame" is the host itself (valid as a
// sender). Messages to "Main frame" or to "All modules" are recorded and
// answered with MESSAGE_RECIPIER_ERROR: the host delivers them to no module.
#define ORVO_MAIN_FRAME_NAME L"Main frame"
#define ORVO_ALL_MODULES_NAME L"All modules"

struct IQueryInterface;
struct IApplication;
struct IModuleCom;
// Offered by the main frame together with the audio engines and the skin
// layout; their layouts are fixed with them.
struct IPlayer;
struct IMicro;
struct ISkin;

// ---- Exports of a module DLL --------------------------------------------------
// Required: OrvoInitialize, OrvoGetMenu, OrvoChangeState, OrvoGetModuleInfo.
typedef HWND(__cdecl* PFN_OrvoInitialize)(HWND parent, wchar_t* scratch, int scratchSize, IQueryInterface* host);
typedef HMENU(__cdecl* PFN_OrvoGetMenu)(HWND window);
typedef HACCEL(__cdecl* PFN_OrvoGetAccelTable)(HWND window);
typedef void(__cdecl* PFN_OrvoChangeState)(HWND window, int active);
typedef void(__cdecl* PFN_OrvoLoadSkin)(HWND window, int reserved);
typedef int(__cdecl* PFN_OrvoPassMessage)(HWND window, const wchar_t* sender, const wchar_t* message);
typedef void(__cdecl* PFN_OrvoProcessDllIdle)(void);
typedef int(__cdecl* PFN_OrvoOnCmdMsg)(HWND window, UINT id, int code, void* extra, void* handlerInfo);
typedef int(__cdecl* PFN_OrvoPreTranslateMessage)(HWND window, MSG* message);
typedef int(__cdecl* PFN_OrvoTryClose)(void);
typedef int(__cdecl* PFN_OrvoGetModuleInfo)(int reserved, ModuleInfo* info);

// What OrvoOnCmdMsg receives as handlerInfo when the host only asks whether
// the module handles a command (nothing may run then); null otherwise.
struct ORVO_CMD_HANDLER_INFO {
    void* Target;
    void* Handler;
};

// OrvoOnCmdMsg codes: 0 a command (menu item, accelerator, button), -1 a
// request for the state of a command's menu items and controls, any other
// value a control's notification code.
#define ORVO_CN_COMMAND 0
#define ORVO_CN_UPDATE_COMMAND_UI (-1)
// For ORVO_CN_UPDATE_COMMAND_UI the extra pointer is this record, filled with
// the current state; a module that answers non-zero has its Enabled and Check
// (0 clear, 1 checked, -1 unchanged) applied to the command's elements.
struct ORVO_CMD_UI {
    UINT Id;
    BOOL Enabled;
    int Check;
};

// A list of texts owned by the host (IApplication::ChooseFromLibrary); valid
// until the next call that returns it.
struct ORVO_TEXT_LIST {
    int Count;
    const wchar_t* const* Items;
};

// ---- Interfaces ----------------------------------------------------------------

struct IQueryInterface {
    // 0x04000060: major in the top byte, minor in the next, build in the low 16 bits.
    virtual DWORD GetVersion() = 0;
    virtual IApplication* GetApplication() = 0;
    virtual IPlayer* GetPlayer() = 0;
    virtual IMicro* GetMicro() = 0;
    virtual IModuleCom* GetModuleCom() = 0;
    virtual ISkin* GetSkin() = 0;
    // A new BSTR with the current skin file's path (the caller frees it), or
    // null when there is none. S_OK, S_FALSE (no skin), E_POINTER or E_OUTOFMEMORY.
    virtual HRESULT GetCurrentSkinPath(BSTR* path) = 0;
};

// Settings of an owner (a module name or "Main frame") live in section
// owner + ": params" of the settings file config.ini; only a loaded module or
// "Main frame" may read or write them.
struct IApplication {
    virtual BOOL WriteSetting(const wchar_t* owner, const wchar_t* key, const wchar_t* value) = 0;
    // At most `size` characters with the NUL; TRUE when a non-empty value came back.
    virtual BOOL ReadSetting(const wchar_t* owner, const wchar_t* key, wchar_t* buffer, int size) = 0;
    virtual BOOL RefreshModuleMenu(const wchar_t* moduleName) = 0;
    // The program folder with a trailing backslash.
    virtual const wchar_t* GetProgramFolder() = 0;
    // Utilon's ShowMessageBox with the four values unchanged; a null parent is the main window.
    virtual int ShowMessageBox(UINT_PTR text, UINT_PTR caption, UINT_PTR type, UINT_PTR module, HWND parent) = 0;
    virtual int ShowHelp() = 0;
    virtual BOOL DeleteSetting(const wchar_t* owner, const wchar_t* key) = 0;
    // The active module's name, or null.
    virtual const wchar_t* GetActiveModuleName() = 0;
    // Brings the first module of exactly that name to the front.
    virtual BOOL ActivateModule(const wchar_t* moduleName) = 0;
    virtual void SetStatusText(const wchar_t* text) = 0;
    virtual void ShowStatusText(const wchar_t* text, UINT milliseconds) = 0;
    virtual const ORVO_TEXT_LIST* ChooseFromLibrary() = 0;
};

// The message bus.
struct IModuleCom {
    // Delivers `message` to the recipient module's OrvoPassMessage, on the
    // caller's thread; any thread may call. Returns a MESSAGE_* code.
    virtual int SendMessage(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message) = 0;
    // The record of the first module of that name (letter case ignored), or null.
    virtual ModuleInfo* GetModuleInfo(const wchar_t* moduleName) = 0;
};

// ---- Declaring the exports in a module -------------------------------------------
#define ORVO_MODULE_EXPORT extern "C" __declspec(dllexport)

#endif
