// The skin manager: the current skin document, its colours and font texts.
#include "patinex/patinex.h"

#include "fw/strutil.h"

#include <memory>
#include <string>
#include <vector>

namespace {

class CSkinStore {
public:
    CSkinStore() { InitializeCriticalSection(&m_lock); }
    ~CSkinStore() { DeleteCriticalSection(&m_lock); }

    HRESULT Load(const wchar_t* path) {
        if (!path || !*path) return E_INVALIDARG;
        auto doc = std::make_unique<enXml>();
        if (!doc->Load(path)) return E_FAIL;
        Lock lock(m_lock);
        m_documents.push_back(std::move(doc));  // older documents stay valid (see the header)
        m_current = m_documents.back().get();
        m_path = path;
        ++m_serial;
        return S_OK;
    }

    enXml* Current() {
        Lock lock(m_lock);
        return m_current;
    }
    std::wstring Path() {
        Lock lock(m_lock);
        return m_path;
    }
    DWORD Serial() {
        Lock lock(m_lock);
        return m_serial;
    }

private:
    struct Lock {
        explicit Lock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
        ~Lock() { LeaveCriticalSection(&m_cs); }
        CRITICAL_SECTION& m_cs;
    };

    CRITICAL_SECTION m_lock;
    std::vector<std::unique_ptr<enXml>> m_documents;
    enXml* m_current = nullptr;
    std::wstring m_path;
    DWORD m_serial = 0;
};

CSkinStore& Store() {
    static CSkinStore store;
    return store;
}

bool ParseComponent(std::wstring_view text, int& value) {
    int v = 0;
    if (!fw::ParseInt(text, v) || v < 0 || v > 255) return false;
    value = v;
    return true;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

COLORREF ParseColor(std::wstring_view raw, bool allowNamed);

COLORREF NamedColor(std::wstring_view name, COLORREF fallback) {
    enXml* root = Store().Current();
    if (!root || name.empty()) return fallback;
    enXml* colors = root->FindChild(L"Colors");
    for (enXml* c = colors ? colors->FirstChild() : nullptr; c; c = c->NextSibling()) {
        std::wstring n, v;
        if (!c->GetAttribute(L"Name", n) || !fw::EqualsNoCase(n, name)) continue;
        if (!c->GetAttribute(L"Value", v)) return fallback;
        COLORREF color = ParseColor(v, false);
        return color == CLR_INVALID ? fallback : color;
    }
    return fallback;
}

COLORREF ParseColor(std::wstring_view raw, bool allowNamed) {
    std::wstring text = fw::Trim(raw);
    if (text.empty()) return CLR_INVALID;
    if (text[0] == L'@') return allowNamed ? NamedColor(fw::Trim(std::wstring_view(text).substr(1)), CLR_INVALID)
                                           : CLR_INVALID;
    if (text[0] == L'#') {
        std::wstring_view hex = std::wstring_view(text).substr(1);
        int d[6] = {};
        if (hex.size() != 3 && hex.size() != 6) return CLR_INVALID;
        for (std::size_t i = 0; i < hex.size(); ++i)
            if ((d[i] = HexDigit(hex[i])) < 0) return CLR_INVALID;
        if (hex.size() == 3) return RGB(d[0] * 17, d[1] * 17, d[2] * 17);
        return RGB(d[0] * 16 + d[1], d[2] * 16 + d[3], d[4] * 16 + d[5]);
    }
    std::wstring_view body = text;
    if (fw::StartsWithNoCase(body, L"RGB")) {
        std::wstring rest = fw::Trim(body.substr(3));
        if (rest.size() < 2 || rest.front() != L'(' || rest.back() != L')') return CLR_INVALID;
        text = rest.substr(1, rest.size() - 2);
        body = text;
    }
    std::vector<std::wstring> parts = fw::Split(body, L",");
    int c[3] = {};
    if (parts.size() != 3) return CLR_INVALID;
    for (int i = 0; i < 3; ++i)
        if (!ParseComponent(parts[static_cast<std::size_t>(i)], c[i])) return CLR_INVALID;
    return RGB(c[0], c[1], c[2]);
}

BOOL ParseFont(LOGFONTW* font, const wchar_t* text) {
    if (!font || !text) return FALSE;
    std::vector<std::wstring> parts = fw::Split(text, L",");
    if (parts.empty()) return FALSE;
    LOGFONTW lf = {};
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::wstring face = fw::Trim(parts[0]);
    if (face.empty() || face.size() >= LF_FACESIZE) return FALSE;
    face.copy(lf.lfFaceName, face.size());
    bool heightSeen = false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::wstring part = fw::Trim(parts[i]);
        int number = 0;
        if (fw::ParseInt(part, number)) {
            if (!heightSeen && i == 1) {
                if (number < 0 || number > 1000) return FALSE;
                lf.lfHeight = -number;
                heightSeen = true;
            } else if (number >= 1 && number <= 1000) {
                lf.lfWeight = number;
            } else {
                return FALSE;
            }
        } else if (fw::EqualsNoCase(part, L"Bold")) {
            lf.lfWeight = FW_BOLD;
        } else if (fw::EqualsNoCase(part, L"Italic")) {
            lf.lfItalic = TRUE;
        } else if (fw::EqualsNoCase(part, L"Underline")) {
            lf.lfUnderline = TRUE;
        } else if (fw::EqualsNoCase(part, L"StrikeOut")) {
            lf.lfStrikeOut = TRUE;
        } else {
            return FALSE;
        }
    }
    *font = lf;
    return TRUE;
}

DWORD CopyPath(wchar_t* buffer, DWORD size) {
    std::wstring path = Store().Path();
    if (buffer && size > path.size()) {
        path.copy(buffer, path.size());
        buffer[path.size()] = L'\0';
    }
    return static_cast<DWORD>(path.size());
}

class CQuery final : public ISWQueryInterface {
public:
    HRESULT GetSkinXMLRoot(const void* caller, enXml** root) override { return ::GetSkinXMLRoot(caller, root); }
    COLORREF LoadColor(const wchar_t* text) override { return ::LoadColor(text); }
    BOOL LoadFont(LOGFONTW* font, const wchar_t* text) override { return ::LoadFont(font, text); }
    COLORREF GetSkinColor(const wchar_t* name, COLORREF fallback) override { return ::GetSkinColor(name, fallback); }
    DWORD GetSkinPath(wchar_t* buffer, DWORD size) override { return CopyPath(buffer, size); }
    DWORD GetSkinSerial() override { return Store().Serial(); }
};

}  // namespace

extern "C" PATINEX_API HRESULT __cdecl GetSWQueryInterface(ISWQueryInterface** out) {
    static CQuery query;
    if (!out) return E_POINTER;
    *out = &query;
    return S_OK;
}

extern "C" PATINEX_API HRESULT __cdecl LoadStandardSkin(const wchar_t* path) { return Store().Load(path); }

extern "C" PATINEX_API HRESULT __cdecl GetSkinXMLRoot(const void* /*caller*/, enXml** root) {
    if (!root) return E_POINTER;
    *root = Store().Current();
    return *root ? S_OK : E_FAIL;
}

extern "C" PATINEX_API DWORD __cdecl GetSkinPath(wchar_t* buffer, DWORD size) { return CopyPath(buffer, size); }

extern "C" PATINEX_API COLORREF __cdecl LoadColor(const wchar_t* text) {
    return text ? ParseColor(text, true) : CLR_INVALID;
}

extern "C" PATINEX_API BOOL __cdecl LoadFont(LOGFONTW* font, const wchar_t* text) { return ParseFont(font, text); }

extern "C" PATINEX_API COLORREF __cdecl GetSkinColor(const wchar_t* name, COLORREF fallback) {
    return name ? NamedColor(name, fallback) : fallback;
}
