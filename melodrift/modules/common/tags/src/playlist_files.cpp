#include "mediatags/playlist_files.h"

#include <algorithm>
#include <map>

namespace mediatags {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i]) && !(IsSeparator(text[i]) && IsSeparator(prefix[i]))) return false;
    return true;
}

bool IsWebAddress(std::wstring_view path)
{
    const std::size_t colon = path.find(L"://");
    if (colon == std::wstring_view::npos || colon < 2) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const wchar_t c = Lower(path[i]);
        if (!((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.')) return false;
    }
    return true;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    c = Lower(c);
    return c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
}

std::wstring Utf8ToWide(std::string_view b, bool* valid = nullptr)
{
    if (valid) *valid = true;
    std::wstring text;
    for (std::size_t i = 0; i < b.size();) {
        const unsigned char c = static_cast<unsigned char>(b[i]);
        const int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        std::uint32_t cp = 0xFFFD;
        int used = 1;
        if (extra >= 0 && i + static_cast<std::size_t>(extra) < b.size()) {
            std::uint32_t v = extra == 0 ? c : (c & (0x3F >> extra));
            bool ok = true;
            for (int k = 1; k <= extra && ok; ++k) {
                const unsigned char n = static_cast<unsigned char>(b[i + k]);
                ok = (n & 0xC0) == 0x80;
                v = (v << 6) | (n & 0x3F);
            }
            if (ok && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                cp = v;
                used = extra + 1;
            }
        }
        if (used == 1 && c >= 0x80 && valid) *valid = false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(cp));
        }
        i += static_cast<std::size_t>(used);
    }
    return text;
}

bool IsUtf8(std::string_view b)
{
    bool valid = true;
    Utf8ToWide(b, &valid);
    return valid;
}

std::string WideToUtf8(std::wstring_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = static_cast<std::uint16_t>(text[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint16_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::wstring Latin1ToWide(std::string_view b)
{
    std::wstring text;
    for (char c : b) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}

// The text of the file: UTF-8 with a byte-order mark, M3U8 and whatever reads
// as UTF-8 as UTF-8; other bytes in the system's code page.
std::wstring Decode(std::string_view bytes, PlaylistFormat format, const CodePage& codePage)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToWide(bytes.substr(3));
    if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
        const bool big = bytes[0] == '\xFE';
        std::wstring text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(static_cast<wchar_t>(big ? (a << 8) | b : a | (b << 8)));
        }
        // A surrogate without its pair has no place in UTF-8: it becomes U+FFFD here, not on writing.
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF, low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
            if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
            else if (high || low) text[i] = 0xFFFD;
        }
        return text;
    }
    if (format == PlaylistFormat::M3u8 || IsUtf8(bytes)) return Utf8ToWide(bytes);
    return codePage.decode ? codePage.decode(bytes) : Latin1ToWide(bytes);
}

std::vector<std::wstring_view> Lines(std::wstring_view text)
{
    std::vector<std::wstring_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == L'\r' || text[i] == L'\n' || text[i] == 0) {
            lines.push_back(text.substr(start, i - start));
            if (i + 1 < text.size() && text[i] == L'\r' && text[i + 1] == L'\n') ++i;
            start = i + 1;
        }
    }
    return lines;
}

std::wstring_view TrimView(std::wstring_view s)
{
    while (!s.empty() && (s.front() == L' ' || s.front() == L'\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == L' ' || s.back() == L'\t')) s.remove_suffix(1);
    return s;
}

std::int64_t ParseSeconds(std::wstring_view s)
{
    s = TrimView(s);
    bool negative = !s.empty() && s[0] == L'-';
    if (negative) s.remove_prefix(1);
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; digits < s.size() && s[digits] >= L'0' && s[digits] <= L'9' && digits < 12; ++digits)
        value = value * 10 + (s[digits] - L'0');
    if (digits == 0 || negative) return -1;
    return value;
}

// The path of an entry as written: relative to the folder when it lies in it.
std::wstring Relative(std::wstring_view folder, const std::wstring& path)
{
    if (!folder.empty() && path.size() > folder.size() + 1 && StartsWithNoCase(path, folder) &&
        IsSeparator(path[folder.size()]))
        return path.substr(folder.size() + 1);
    return path;
}

std::string Encode(const std::wstring& text, PlaylistFormat format, const CodePage& codePage)
{
    if (format == PlaylistFormat::M3u8) return WideToUtf8(text);
    std::string bytes;
    if (codePage.encode && codePage.encode(text, bytes)) return bytes;
    // A character the code page does not hold: UTF-8 with its mark, so that nothing is lost.
    return "\xEF\xBB\xBF" + WideToUtf8(text);
}

}  // namespace

PlaylistFormat PlaylistFormatOf(std::wstring_view path)
{
    const std::size_t dot = path.find_last_of(L'.');
    const std::wstring_view extension = dot == std::wstring_view::npos ? std::wstring_view() : path.substr(dot + 1);
    const auto is = [&](std::wstring_view e) {
        if (extension.size() != e.size()) return false;
        for (std::size_t i = 0; i < e.size(); ++i)
            if (Lower(extension[i]) != e[i]) return false;
        return true;
    };
    if (is(L"pls")) return PlaylistFormat::Pls;
    if (is(L"m3u")) return PlaylistFormat::M3u;
    return PlaylistFormat::M3u8;
}

std::wstring FolderOf(std::wstring_view path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring_view::npos) return {};
    return std::wstring(path.substr(0, slash));
}

std::wstring TitleOfPath(std::wstring_view path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    return std::wstring(dot == std::wstring_view::npos || dot == 0 ? name : name.substr(0, dot));
}

std::wstring ResolvePath(std::wstring_view folder, std::wstring_view path)
{
    path = TrimView(path);
    std::wstring local;
    if (StartsWithNoCase(path, L"file://")) {
        // A file address: "file:///C:/a%20b.mp3" is C:\a b.mp3, "file://server/share/x" a network path.
        path.remove_prefix(7);
        if (!path.empty() && path[0] == L'/') path.remove_prefix(1);
        else local = L"\\\\";
        std::string escaped;
        for (std::size_t i = 0; i <= path.size(); ++i) {
            if (i + 2 < path.size() && path[i] == L'%' && HexDigit(path[i + 1]) >= 0 && HexDigit(path[i + 2]) >= 0) {
                escaped.push_back(static_cast<char>(HexDigit(path[i + 1]) * 16 + HexDigit(path[i + 2])));
                i += 2;
                continue;
            }
            local += Utf8ToWide(escaped);   // the escaped bytes are UTF-8
            escaped.clear();
            if (i < path.size()) local.push_back(path[i]);
        }
        path = local;
        if (path.empty()) return {};
    } else if (path.empty() || IsWebAddress(path)) {
        return std::wstring(path);
    }
    std::wstring root;    // "C:", "\\server\share" or empty
    std::wstring rest;
    const bool drive = path.size() >= 2 && path[1] == L':' && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    if (drive && path.size() >= 3 && IsSeparator(path[2])) {
        root = std::wstring(path.substr(0, 2));
        rest = std::wstring(path.substr(3));
    } else if (drive) {
        // "C:song.mp3" is relative to that drive's own current folder, which a
        // playlist cannot know: its root, never the playlist's folder.
        root = std::wstring(path.substr(0, 2));
        rest = std::wstring(path.substr(2));
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        root = L"\\";   // a network path keeps its two leading separators below
        rest = std::wstring(path.substr(2));
    } else if (IsSeparator(path[0])) {
        // From the root of the playlist's drive.
        const std::size_t colon = folder.find(L':');
        root = colon == 1 ? std::wstring(folder.substr(0, 2)) : std::wstring();
        rest = std::wstring(path.substr(1));
    } else {
        const std::wstring base(folder);
        if (base.size() >= 2 && base[1] == L':') {
            root = base.substr(0, 2);
            rest = base.size() > 3 ? base.substr(3) + L"\\" + std::wstring(path) : std::wstring(path);
        } else if (base.size() >= 2 && IsSeparator(base[0]) && IsSeparator(base[1])) {
            root = L"\\";
            rest = base.substr(2) + L"\\" + std::wstring(path);
        } else {
            rest = base.empty() ? std::wstring(path) : base + L"\\" + std::wstring(path);
        }
    }
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || IsSeparator(rest[i])) {
            const std::wstring part = rest.substr(start, i - start);
            start = i + 1;
            if (part.empty() || part == L".") continue;
            if (part == L"..") {
                if (!parts.empty() && parts.back() != L"..") parts.pop_back();
                else if (root.empty()) parts.push_back(part);
                continue;
            }
            parts.push_back(part);
        }
    }
    std::wstring out = root;
    if (!root.empty()) out += L"\\";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += L"\\";
        out += parts[i];
    }
    return out;
}

std::vector<PlaylistEntry> ParsePlaylist(std::string_view bytes, PlaylistFormat format, std::wstring_view folder,
                                         const CodePage& codePage)
{
    const std::wstring text = Decode(bytes, format, codePage);
    std::vector<PlaylistEntry> entries;
    if (format == PlaylistFormat::Pls) {
        std::map<std::int64_t, PlaylistEntry> numbered;
        for (std::wstring_view line : Lines(text)) {
            line = TrimView(line);
            const std::size_t equals = line.find(L'=');
            if (line.empty() || line[0] == L'[' || line[0] == L';' || equals == std::wstring_view::npos) continue;
            const std::wstring_view key = TrimView(line.substr(0, equals));
            const std::wstring_view value = line.substr(equals + 1);
            std::size_t digits = key.size();
            while (digits > 0 && key[digits - 1] >= L'0' && key[digits - 1] <= L'9') --digits;
            if (digits == key.size() || key.size() - digits > 9) continue;
            const std::int64_t number = ParseSeconds(key.substr(digits));
            std::wstring name(key.substr(0, digits));
            for (wchar_t& c : name) c = Lower(c);
            if (name != L"file" && name != L"title" && name != L"length") continue;
            if (numbered.size() >= kMaxPlaylistEntries && numbered.find(number) == numbered.end()) continue;
            PlaylistEntry& entry = numbered[number];
            if (name == L"file") entry.path = ResolvePath(folder, value);
            else if (name == L"title") entry.title = std::wstring(TrimView(value));
            else entry.seconds = ParseSeconds(value);
        }
        for (auto& [number, entry] : numbered)
            if (!entry.path.empty()) entries.push_back(std::move(entry));
        return entries;
    }
    PlaylistEntry pending;
    for (std::wstring_view line : Lines(text)) {
        line = TrimView(line);
        if (line.empty()) continue;
        if (line[0] == L'#') {
            if (StartsWithNoCase(line, L"#EXTINF:")) {
                const std::wstring_view info = line.substr(8);
                const std::size_t comma = info.find(L',');
                pending.seconds = ParseSeconds(info.substr(0, comma));
                pending.title = comma == std::wstring_view::npos ? std::wstring() : std::wstring(TrimView(info.substr(comma + 1)));
            }
            continue;
        }
        if (entries.size() >= kMaxPlaylistEntries) break;
        pending.path = ResolvePath(folder, line);
        entries.push_back(std::move(pending));
        pending = PlaylistEntry();
    }
    return entries;
}

std::string WritePlaylist(const std::vector<PlaylistEntry>& entries, PlaylistFormat format, std::wstring_view folder,
                          const CodePage& codePage)
{
    // Line ends and the other separators of a title would break the file.
    const auto clean = [](const std::wstring& s) {
        std::wstring out = s;
        for (wchar_t& c : out)
            if (c == L'\r' || c == L'\n' || c == 0) c = L' ';
        return out;
    };
    // A path that would read as a comment or lose its leading blanks starts from the folder.
    const auto place = [&](const std::wstring& path) {
        std::wstring out = clean(Relative(folder, path));
        if (!out.empty() && (out[0] == L'#' || out[0] == L' ' || out[0] == L'\t')) out = L".\\" + out;
        return out;
    };
    std::wstring text;
    if (format == PlaylistFormat::Pls) {
        text = L"[playlist]\r\n";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::wstring n = std::to_wstring(i + 1);
            text += L"File" + n + L"=" + place(entries[i].path) + L"\r\n";
            if (!entries[i].title.empty()) text += L"Title" + n + L"=" + clean(entries[i].title) + L"\r\n";
            text += L"Length" + n + L"=" + std::to_wstring(entries[i].seconds < 0 ? -1 : entries[i].seconds) + L"\r\n";
        }
        text += L"NumberOfEntries=" + std::to_wstring(entries.size()) + L"\r\nVersion=2\r\n";
    } else {
        text = L"#EXTM3U\r\n";
        for (const PlaylistEntry& entry : entries) {
            std::wstring title = clean(entry.title);
            if (!title.empty() || entry.seconds >= 0)
                text += L"#EXTINF:" + std::to_wstring(entry.seconds < 0 ? -1 : entry.seconds) + L"," + title + L"\r\n";
            text += place(entry.path) + L"\r\n";
        }
    }
    return Encode(text, format, codePage);
}

}  // namespace mediatags
