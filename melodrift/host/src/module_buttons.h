// The module toolbar: one skinned two-state button per module the skin lists
// (CModuleButton), the OLE drop target on each (CModuleButtonDropTarget: a
// drag over a button switches to its module, a drop on it is refused with a
// hint), the toolbar records (_CONTROL_INFO_STRUCT_) and the MDI client
// window object that holds the module windows (CModulesFrame).
#pragma once

#include "frame_controls.h"

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <string>

class CModuleButton;

// The first module button command: 236 + the module's order.
constexpr UINT kModuleButtonFirst = 236;

class CModuleButtonDropTarget : public IDropTarget {
public:
    explicit CModuleButtonDropTarget(CModuleButton& button) : m_button(button) {}
    virtual ~CModuleButtonDropTarget() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

private:
    CModuleButton& m_button;
    LONG m_refs = 1;
};

class CModuleButton : public CPtButton {
public:
    static constexpr DWORD kStyle = WS_CHILD | BS_PUSHLIKE | BS_AUTOCHECKBOX;  // 0x40001003

    CModuleButton();
    ~CModuleButton() override;
    // The button on the frame with the module's name as its caption and the
    // id 236 + order; its drop target is registered.
    bool CreateButton(CWnd* frame, const std::wstring& caption, UINT id);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // What the drop target does: activate the button's module, refuse a drop.
    void OnDragEnter();
    void OnDrop();
    bool IsDropTargetRegistered() const { return m_registered; }

private:
    CModuleButtonDropTarget* m_target = nullptr;
    bool m_registered = false;
};

// One "Modules" child of the skin.
struct _CONTROL_INFO_STRUCT_ {
    std::int32_t kind = 2;          // 2: two-state button
    std::int32_t commandId = 0;     // 236 + order (0: no loaded module)
    std::uint16_t reserved = 0;
    std::wstring name;
    std::wstring tooltip;
    _MAINFRAME_CONTROL_* controls = nullptr;
};

// The MDI client: passes a WM_NCACTIVATE on to the top module window first,
// and draws its edge in the skin's colours.
class CModulesFrame : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintEdge() const;
};

// The string shown when something is dropped on a module button (the frame
// sets it from string 338).
void SetModuleButtonDropText(const std::wstring& text);
