#include "playlist.h"

#include <algorithm>

namespace vocalith {

bool CPlaylist::SetCurrent(int index) {
    if (index < 0 || index >= Count()) return false;
    m_current = index;
    return true;
}

int CPlaylist::Add(const std::wstring& path) {
    m_tracks.push_back(path);
    if (m_current < 0) m_current = 0;
    return Count() - 1;
}

bool CPlaylist::Remove(int index) {
    if (index < 0 || index >= Count()) return false;
    m_tracks.erase(m_tracks.begin() + index);
    ForgetPlayed(index);
    if (m_tracks.empty()) {
        m_current = -1;
    } else if (index < m_current) {
        --m_current;
    } else if (m_current >= Count()) {
        m_current = Count() - 1;
    }
    return true;
}

void CPlaylist::Clear() {
    m_tracks.clear();
    m_played.clear();
    m_current = -1;
}

void CPlaylist::ForgetPlayed(int removed) {
    std::vector<int> kept;
    for (int i : m_played) {
        if (i == removed) continue;
        kept.push_back(i > removed ? i - 1 : i);
    }
    m_played.swap(kept);
}

std::uint32_t CPlaylist::Random() {
    // xorshift32: the order only has to look random.
    std::uint32_t x = m_random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_random = x;
    return x;
}

int CPlaylist::Next(bool shuffle, bool repeat) {
    if (m_tracks.empty()) return -1;
    if (!shuffle) {
        m_played.clear();
        if (m_current + 1 < Count()) return ++m_current;
        if (!repeat) return -1;
        return m_current = 0;
    }
    if (m_current >= 0 && std::find(m_played.begin(), m_played.end(), m_current) == m_played.end())
        m_played.push_back(m_current);
    std::vector<int> left;
    for (int i = 0; i < Count(); ++i)
        if (std::find(m_played.begin(), m_played.end(), i) == m_played.end()) left.push_back(i);
    if (left.empty()) {
        if (!repeat) return -1;
        m_played.clear();
        for (int i = 0; i < Count(); ++i)
            if (i != m_current || Count() == 1) left.push_back(i);
    }
    m_current = left[Random() % left.size()];
    return m_current;
}

int CPlaylist::Previous(bool shuffle, bool repeat) {
    if (m_tracks.empty()) return -1;
    while (shuffle && !m_played.empty() && m_played.back() == m_current) m_played.pop_back();
    if (shuffle && !m_played.empty()) {
        m_current = m_played.back();
        m_played.pop_back();
        return m_current;
    }
    if (m_current > 0) return --m_current;
    if (!repeat) return -1;
    return m_current = Count() - 1;
}

bool ParseOpenMessage(const std::wstring& message, std::vector<std::wstring>& names, bool* addOnly) {
    names.clear();
    std::size_t at = 0;
    while (at < message.size() && (message[at] == L' ' || message[at] == L'\t')) ++at;
    // "open" or "add", in any letter case.
    std::wstring word;
    for (std::size_t i = at; i < message.size() && i < at + 4; ++i) {
        wchar_t c = message[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        word += c;
    }
    if (word == L"open") {
        at += 4;
    } else if (word.compare(0, 3, L"add") == 0) {
        at += 3;
    } else {
        return false;
    }
    if (addOnly) *addOnly = word != L"open";
    if (at < message.size() && message[at] != L' ' && message[at] != L'\t' && message[at] != L'"') return false;
    while (at < message.size()) {
        wchar_t c = message[at];
        if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
            ++at;
            continue;
        }
        std::wstring name;
        if (c == L'"') {
            std::size_t end = message.find(L'"', at + 1);
            if (end == std::wstring::npos) end = message.size();   // an unclosed quote runs to the end
            name = message.substr(at + 1, end - at - 1);
            at = end + 1;
        } else {
            std::size_t end = message.find_first_of(L" \t\r\n", at);
            if (end == std::wstring::npos) end = message.size();
            name = message.substr(at, end - at);
            at = end;
        }
        if (!name.empty()) names.push_back(name);
    }
    return true;
}

std::wstring FormatTime(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const std::int64_t h = seconds / 3600, m = (seconds / 60) % 60, s = seconds % 60;
    auto two = [](std::int64_t v) {
        std::wstring t = std::to_wstring(v);
        return v < 10 ? L"0" + t : t;
    };
    if (h > 0) return std::to_wstring(h) + L":" + two(m) + L":" + two(s);
    return std::to_wstring(m) + L":" + two(s);
}

}  // namespace vocalith
