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
#include <mmsystem.h>
#include <mmreg.h>
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
struct IPlayer;
struct IMicro;
struct ISkin;
// An element of the skin document (the host's XML document model); opaque
// to modules that do not link the document library.
class enXml;

// ---- Audio data exchanged with the engines ------------------------------------

// A block of 32-bit float samples, one array per channel in the channel order
// of the player's format (16 bytes in the 32-bit program).
struct ORVO_SAMPLE_BLOCK {
    int32_t Reserved;    // kept at 0
    float** Channels;    // one array per channel; null in a notice
    int32_t Capacity;    // frames each array holds
    int32_t Filled;      // frames of valid data
};

// The player pulls its data from a module: fill Channels[c][0 .. Filled-1]
// (at most Capacity frames), set Filled and return nonzero, or return 0 when
// the data has ended. Called on the player's own thread. Two notices come
// with an empty block (no arrays, Filled 0): Capacity 0 when the callback is
// replaced by another one, Capacity 1 when playback stopped because the data
// ended; and a third after IPlayer::RequestRewrite (Capacity 2, see there).
typedef int(__cdecl* ORVO_PLAYER_CALLBACK)(UINT_PTR userData, ORVO_SAMPLE_BLOCK* block, int reserved);

// The microphone hands each filled buffer of raw PCM in the capture format to
// a module, on the capture thread, in the order the device filled them. When
// the callback is replaced the old one gets (its user data, null, 0) once.
typedef int(__cdecl* ORVO_MICRO_CALLBACK)(UINT_PTR userData, void* data, int bytes);

// Player and microphone states (IPlayer::GetState, IMicro::GetState).
#define ORVO_PLAYER_PLAYING 0
#define ORVO_PLAYER_PAUSED 1
#define ORVO_PLAYER_STOPPED 2
#define ORVO_PLAYER_FAILED 3
#define ORVO_MICRO_RECORDING 0
#define ORVO_MICRO_PAUSED 1
#define ORVO_MICRO_STOPPED 2
#define ORVO_MICRO_FAILED 3

// The position sliders of the frame run from 0 to this value
// (IPlayer::GetPositionRange). The module that owns the player reports where
// playback stands by sending WM_COMMAND with wParam ORVO_CMD_POSITION and
// lParam the position to the main frame window (the root of its window); the
// frame shows it on its next position tick. When the user moves a position
// slider, the frame sends the same command with the chosen position to the
// owner's window.
#define ORVO_POSITION_RANGE 1000
#define ORVO_CMD_POSITION 1035

// Transport commands the frame sends (WM_COMMAND) to the window of the module
// that owns the player.
#define ORVO_CMD_PREVIOUS 13000
#define ORVO_CMD_PLAY 13010
#define ORVO_CMD_PAUSE 13015
#define ORVO_CMD_STOP 13020
#define ORVO_CMD_NEXT 13030
#define ORVO_CMD_RECORD 13090

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

// The shared playback engine. Only the module that owns the player
// (AcquirePlayer) should drive it; the owner is told with ORVO_WM_PLAYER_*.
struct IPlayer {
    // Starts playback; TRUE on success (a failed engine is closed and tried once more).
    virtual BOOL Play() = 0;
    virtual BOOL Stop() = 0;
    virtual BOOL Pause() = 0;
    // The output format (40 bytes, read-only).
    virtual const WAVEFORMATEXTENSIBLE* GetFormat() = 0;
    // 16-bit PCM, 1 to 8 channels; only while stopped.
    virtual BOOL SetFormat(const WAVEFORMATEXTENSIBLE* format) = 0;
    virtual int GetSegmentCount() = 0;
    virtual BOOL SetSegmentCount(int count) = 0;
    virtual int GetSegmentBytes() = 0;
    virtual BOOL SetSegmentBytes(int bytes) = 0;
    // Only while stopped.
    virtual BOOL SetDataCallback(ORVO_PLAYER_CALLBACK callback, UINT_PTR userData) = 0;
    // A 32-bit value kept for the modules (initially 0).
    virtual DWORD GetUserValue() = 0;
    // ORVO_POSITION_RANGE.
    virtual int GetPositionRange() = 0;
    virtual BOOL SetUserValue(DWORD value) = 0;
    // Volume 0..100 and balance 0..100 (50 the centre), as the frame's sliders show them.
    virtual int GetVolume() = 0;
    virtual void SetVolume(int volume) = 0;
    virtual int GetBalance() = 0;
    virtual void SetBalance(int balance) = 0;
    // The name of the module that owns the player, or null.
    virtual const wchar_t* GetPlayerOwner() = 0;
    // Makes the module the owner (stopping playback when there was one).
    virtual BOOL AcquirePlayer(const wchar_t* moduleName) = 0;
    virtual BOOL ReleasePlayer(const wchar_t* moduleName) = 0;
    // Whether the module has something to play (enables the frame's Play).
    virtual BOOL SetCanPlay(const wchar_t* moduleName, BOOL canPlay) = 0;
    // The frame's shuffle and repeat switches.
    virtual BOOL GetShuffle() = 0;
    virtual BOOL GetRepeat() = 0;
    // ORVO_PLAYER_*.
    virtual int GetState() = 0;
    // Frames of the module's data heard since playback last started (Play
    // from the stopped state): follows the device's play cursor, stands still
    // while paused, ends at the last frame given. For the time a module shows.
    virtual int64_t GetPlayedFrames() = 0;
    // The owner changed what its callback makes of the data (its effects):
    // what the device holds ahead of its play cursor is taken back and asked
    // for again, so that the change is heard at once. The callback first gets
    // a notice (no arrays, Capacity 2, Filled the frames the player would
    // take back, the last ones given); it sets Filled to the frames it will
    // give again, at most those, and returns nonzero (0: none taken back).
    // FALSE unless playing or paused.
    virtual BOOL RequestRewrite() = 0;
};

// The shared capture engine (the default wave-input device).
struct IMicro {
    // Starts recording; TRUE on success (a failed engine is closed and tried once more).
    virtual BOOL Start() = 0;
    virtual BOOL Stop() = 0;
    virtual BOOL Pause() = 0;
    virtual const WAVEFORMATEX* GetFormat() = 0;
    // PCM; only while stopped.
    virtual BOOL SetFormat(const WAVEFORMATEX* format) = 0;
    virtual int GetBufferCount() = 0;
    virtual BOOL SetBufferCount(int count) = 0;
    virtual int GetBufferBytes() = 0;
    virtual BOOL SetBufferBytes(int bytes) = 0;
    // Only while stopped.
    virtual BOOL SetDataCallback(ORVO_MICRO_CALLBACK callback, UINT_PTR userData) = 0;
    // The name of the module that owns the microphone, or null.
    virtual const wchar_t* GetRecorderOwner() = 0;
    virtual BOOL AcquireRecorder(const wchar_t* moduleName) = 0;
    virtual BOOL ReleaseRecorder(const wchar_t* moduleName) = 0;
    // Whether the module can record (enables the frame's Record).
    virtual BOOL SetCanRecord(const wchar_t* moduleName, BOOL canRecord) = 0;
    // ORVO_MICRO_*.
    virtual int GetState() = 0;
};

// Skinning of a module's windows.
struct ISkin {
    // The current skin's colour of that name, or the fallback.
    virtual COLORREF GetSkinColor(const wchar_t* name, COLORREF fallback) = 0;
    // Skins the window and all its child windows in place (static texts,
    // dialogs, sliders, combo boxes, edit boxes, buttons). Returns 1.
    virtual BOOL SkinWindow(HWND window, BOOL flag) = 0;
    // The module's "ModuleToolbar" element of that ID in the current skin, or null.
    virtual enXml* GetModuleToolbar(const wchar_t* moduleName, const wchar_t* toolbarId) = 0;
};

// ---- Declaring the exports in a module -------------------------------------------
#define ORVO_MODULE_EXPORT extern "C" __declspec(dllexport)

#endif
