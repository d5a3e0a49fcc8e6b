// Accessibility: a control answers WM_GETOBJECT with the system's standard
// accessible object for its window, wrapped so that its name is the control's
// tooltip (or text), and its role, state and value are those of the control
// kind (button, check button, slider, text).
//
// The interface's id is always taken as __uuidof(IAccessible), never by the name
// IID_IAccessible: mingw-w64's 64-bit import library of oleacc lists that name as
// a function, so a link that meets oleacc before uuid makes it the address of an
// import thunk. Every call given it then fails with E_NOINTERFACE, and a client's
// QueryInterface for IAccessible is not recognised.
#include "pt_internal.h"

#include <oleacc.h>

namespace pt {
namespace {

class NamedAccessible : public IAccessible {
public:
    NamedAccessible(IAccessible* inner, std::wstring name, long role, long state, std::wstring value)
        : m_inner(inner), m_name(std::move(name)), m_role(role), m_state(state), m_value(std::move(value)) {}
    virtual ~NamedAccessible() { m_inner->Release(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return m_inner->QueryInterface(riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_ref)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG ref = InterlockedDecrement(&m_ref);
        if (ref == 0) delete this;
        return static_cast<ULONG>(ref);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_inner->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return m_inner->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return m_inner->GetIDsOfNames(riid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        return m_inner->Invoke(id, riid, lcid, flags, params, result, info, argError);
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_inner->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return m_inner->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return m_inner->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (IsSelf(child)) {
            if (!name) return E_POINTER;
            *name = SysAllocString(m_name.c_str());
            return *name ? S_OK : E_OUTOFMEMORY;
        }
        return m_inner->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (IsSelf(child) && !m_value.empty()) {
            if (!value) return E_POINTER;
            *value = SysAllocString(m_value.c_str());
            return *value ? S_OK : E_OUTOFMEMORY;
        }
        return m_inner->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return m_inner->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (IsSelf(child) && m_role != 0) {
            if (!role) return E_POINTER;
            VariantInit(role);
            role->vt = VT_I4;
            role->lVal = m_role;
            return S_OK;
        }
        return m_inner->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        HRESULT hr = m_inner->get_accState(child, state);
        if (IsSelf(child) && state) {
            if (FAILED(hr)) {
                VariantInit(state);
                state->vt = VT_I4;
                state->lVal = 0;
                hr = S_OK;
            }
            if (state->vt == VT_I4) state->lVal |= m_state;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return m_inner->get_accHelp(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return m_inner->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* key) override {
        return m_inner->get_accKeyboardShortcut(child, key);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return m_inner->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return m_inner->get_accSelection(children); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return m_inner->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return m_inner->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
        return m_inner->accLocation(x, y, w, h, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
        return m_inner->accNavigate(dir, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return m_inner->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return m_inner->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return m_inner->put_accName(child, name); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return m_inner->put_accValue(child, value);
    }

private:
    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

    LONG m_ref = 1;
    IAccessible* m_inner;
    std::wstring m_name;
    long m_role;
    long m_state;
    std::wstring m_value;
};

}  // namespace

LRESULT AccessibleObject(HWND hwnd, WPARAM wParam, LPARAM, const std::wstring& name, long role, long state,
                         const std::wstring& value) {
    IAccessible* inner = nullptr;
    if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&inner))) ||
        !inner)
        return 0;
    auto* named = new NamedAccessible(inner, name, role, state, value);
    LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(named));
    named->Release();
    return result;
}

}  // namespace pt
