// The file list, the library in memory and the bus commands.
#include "tunestack/library_files.h"

#include "mediatags/media_tags.h"
#include "text_units.h"

#include <algorithm>

namespace tunestack {

using units::FoldAscii;

namespace {

bool RemoveFrom(XmlNode& parent, const XmlNode* target)
{
    for (auto it = parent.children.begin(); it != parent.children.end(); ++it) {
        if (&*it == target) {
            parent.children.erase(it);
            return true;
        }
        if (RemoveFrom(*it, target)) return true;
    }
    return false;
}

void CollectPlaylists(XmlNode& node, std::vector<XmlNode*>& out)
{
    for (XmlNode& child : node.children) {
        if (child.IsPlaylist()) out.push_back(&child);
        if (!child.IsTrack()) CollectPlaylists(child, out);
    }
}

}  // namespace

// ---- The file list -----------------------------------------------------------------------

FileListRead ParseFileList(std::string_view bytes)
{
    FileListRead result;
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE) {
        return result;
    }
    result.valid = true;
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) {
        return static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    // Each line is found first and made in one piece.
    std::size_t i = 1;
    while (i < units) {
        std::size_t end = i;
        wchar_t c = 0;
        while (end < units && (c = unit(end)) != L'\r' && c != L'\n' && c != 0) ++end;
        if (end > i) {
            std::wstring& line = result.paths.emplace_back(end - i, L'\0');
            for (std::size_t k = i; k < end; ++k) line[k - i] = unit(k);
        }
        i = end + 1;
        if (end < units && c == L'\r' && i < units && unit(i) == L'\n') ++i;
    }
    return result;
}

std::string SerializeFileList(const std::vector<std::wstring>& paths)
{
    // A path cannot hold a line end or a NUL; one that did would shift every
    // identifier after it, so such characters are left out, and a path left
    // empty is written "?" (keeping the identifiers after it). The bytes are
    // sized first and written in place.
    const auto kept = [](wchar_t c) { return c != L'\r' && c != L'\n' && c != 0; };
    std::size_t total = 2;
    for (const std::wstring& path : paths) total += 2 * (std::max<std::size_t>(path.size(), 1) + 2);
    std::string out(total, '\0');
    char* at = out.data();
    const auto put = [&at](wchar_t c) {
        const auto v = static_cast<std::uint32_t>(c) & 0xFFFF;
        *at++ = static_cast<char>(v & 0xFF);
        *at++ = static_cast<char>(v >> 8);
    };
    put(static_cast<wchar_t>(0xFEFF));
    for (const std::wstring& path : paths) {
        char* const start = at;
        for (wchar_t c : path) {
            if (kept(c)) put(c);
        }
        if (at == start) put(L'?');
        put(L'\r');
        put(L'\n');
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
    return out;
}

// ---- The library ---------------------------------------------------------------------------------

namespace {

wchar_t FoldPathChar(wchar_t c)
{
    c = FoldAscii(c);
    return c == L'/' ? L'\\' : c;
}

// Each track of the removed file goes; the identifiers above it move down.
void RenumberTracks(XmlNode& node, std::int32_t removed)
{
    auto& children = node.children;
    children.erase(std::remove_if(children.begin(), children.end(),
                                  [&](const XmlNode& child) { return child.IsTrack() && child.TrackId() == removed; }),
                   children.end());
    for (XmlNode& child : children) {
        if (!child.IsTrack()) {
            RenumberTracks(child, removed);
            continue;
        }
        const std::optional<std::int32_t> id = child.TrackId();
        if (id && *id > removed) child.SetAttribute(L"id", std::to_wstring(*id - 1));
    }
}

}  // namespace

bool SamePath(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldPathChar(a[i]) != FoldPathChar(b[i])) return false;
    }
    return true;
}

std::wstring FoldPath(std::wstring_view path)
{
    std::wstring folded(path);
    for (wchar_t& c : folded) c = FoldPathChar(c);
    return folded;
}

Library::Library() { m_root.name = L"Library"; }

std::int32_t Library::AddFile(const std::wstring& path)
{
    const auto id = static_cast<std::int32_t>(m_files.size());
    const auto [at, added] = m_index.emplace(FoldPath(path), id);
    if (!added) return at->second;
    m_files.push_back(path);
    return id;
}

std::optional<std::int32_t> Library::FindFile(std::wstring_view path) const
{
    const auto found = m_index.find(FoldPath(path));
    if (found == m_index.end()) return std::nullopt;
    return found->second;
}

bool Library::RemoveFile(std::int32_t id)
{
    if (id < 0 || static_cast<std::size_t>(id) >= m_files.size()) return false;
    m_files.erase(m_files.begin() + id);
    RenumberTracks(m_root, id);
    // Every identifier after it moved, and a second copy of the same path may now come first.
    RebuildIndex();
    return true;
}

bool Library::RenameFile(std::int32_t id, const std::wstring& path)
{
    if (id < 0 || static_cast<std::size_t>(id) >= m_files.size()) return false;
    std::wstring folded = FoldPath(path);
    const auto found = m_index.find(folded);
    if (found != m_index.end() && found->second != id) return false;
    std::wstring& slot = m_files[static_cast<std::size_t>(id)];
    const bool samePath = SamePath(slot, path);
    slot = path;
    // Only a change of letter case or separators keeps the index as it is;
    // otherwise a later copy of the old path (a list written elsewhere may
    // hold one) answers for it from now on.
    if (!samePath) RebuildIndex();
    return true;
}

void Library::RebuildIndex()
{
    m_index.clear();
    m_index.reserve(m_files.size());
    for (std::size_t i = 0; i < m_files.size(); ++i) m_index.emplace(FoldPath(m_files[i]), static_cast<std::int32_t>(i));
}

std::vector<XmlNode*> Library::Playlists()
{
    std::vector<XmlNode*> out;
    CollectPlaylists(m_root, out);
    return out;
}

XmlNode* Library::AddPlaylist(const std::wstring& name)
{
    XmlNode playlist;
    playlist.name = L"playlist";
    playlist.SetAttribute(L"Name", name);
    m_root.children.push_back(std::move(playlist));
    return &m_root.children.back();
}

bool Library::RemovePlaylist(const XmlNode* playlist) { return playlist && RemoveFrom(m_root, playlist); }

bool Library::AddTrack(XmlNode& playlist, std::int32_t id)
{
    if (id < 0 || static_cast<std::size_t>(id) >= m_files.size()) return false;
    XmlNode track;
    track.name = L"t";
    track.SetAttribute(L"id", std::to_wstring(id));
    playlist.children.push_back(std::move(track));
    return true;
}

bool Library::RemoveTrack(XmlNode& playlist, std::size_t index)
{
    std::size_t seen = 0;
    for (auto it = playlist.children.begin(); it != playlist.children.end(); ++it) {
        if (!it->IsTrack()) continue;
        if (seen++ == index) {
            playlist.children.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<std::int32_t> Library::Tracks(const XmlNode& playlist)
{
    std::vector<std::int32_t> ids;
    for (const XmlNode& child : playlist.children) {
        if (child.IsTrack()) ids.push_back(child.TrackId().value_or(-1));
    }
    return ids;
}

bool Library::LoadFileList(std::string_view bytes)
{
    FileListRead read = ParseFileList(bytes);
    m_files = std::move(read.paths);
    RebuildIndex();
    return read.valid;
}

bool Library::LoadPlaylists(std::string_view bytes)
{
    std::optional<XmlNode> root = ParseXml(bytes);
    if (!root) {
        m_root = XmlNode();
        m_root.name = L"Library";
        return false;
    }
    m_root = std::move(*root);
    return true;
}
BusCommand ParseBusCommand(std::wstring_view message)
{
    BusCommand command;
    std::size_t i = 0;
    const auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (i < message.size() && isBlank(message[i])) ++i;
    while (i < message.size() && !isBlank(message[i]) && message[i] != L'"') command.verb.push_back(FoldAscii(message[i++]));
    for (;;) {
        while (i < message.size() && isBlank(message[i])) ++i;
        if (i >= message.size()) break;
        std::wstring name;
        if (message[i] == L'"') {
            const std::size_t close = message.find(L'"', i + 1);
            const std::size_t end = close == std::wstring_view::npos ? message.size() : close;
            name.assign(message.substr(i + 1, end - i - 1));
            i = close == std::wstring_view::npos ? message.size() : close + 1;
        } else {
            while (i < message.size() && !isBlank(message[i])) name.push_back(message[i++]);
        }
        if (!name.empty()) command.names.push_back(std::move(name));
    }
    return command;
}

std::wstring MakeBusCommand(std::wstring_view verb, const std::vector<std::wstring>& names)
{
    std::wstring text(verb);
    for (const std::wstring& name : names) text += L" \"" + name + L"\"";
    return text;
}

std::wstring FileNamePart(std::wstring_view path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

bool IsSupportedAudioFile(std::wstring_view path)
{
    return mediatags::IsAudioFileName(FileNamePart(path));
}

}  // namespace tunestack
