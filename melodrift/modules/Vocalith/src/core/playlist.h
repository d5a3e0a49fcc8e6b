// The player module's track list: the tracks in the order the user put them,
// the current track, and the choice of the next and previous track under the
// host's shuffle and repeat switches. Also the reading of the bus message
// "open" ("open" followed by blank-separated file names in double quotes).
// No Windows header; texts are UTF-16 code units in std::wstring.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vocalith {

class CPlaylist {
public:
    int Count() const { return static_cast<int>(m_tracks.size()); }
    bool Empty() const { return m_tracks.empty(); }
    const std::wstring& At(int index) const { return m_tracks[static_cast<std::size_t>(index)]; }
    const std::vector<std::wstring>& Tracks() const { return m_tracks; }

    // The current track, or -1 (an empty list has none).
    int Current() const { return m_current; }
    // False (nothing changes) for an index outside the list.
    bool SetCurrent(int index);

    // Appends; the first track added to an empty list becomes current.
    // Returns the index of the added track.
    int Add(const std::wstring& path);
    // Removes one track; the current track stays current while it is there,
    // otherwise the track that took its place (or the new last one) does.
    bool Remove(int index);
    void Clear();

    // The track to play after the current one, or -1 at the end of the list
    // without repeat. With shuffle every track is played once, in a random
    // order, before any comes again (with repeat a new round begins).
    int Next(bool shuffle, bool repeat);
    // The track before the current one: the previous in list order (with
    // shuffle, the one played before it); -1 at the start without repeat.
    int Previous(bool shuffle, bool repeat);

    // Seeds the shuffle order (tests give a fixed seed).
    void Seed(std::uint32_t seed) { m_random = seed ? seed : 1; }

private:
    std::uint32_t Random();
    void ForgetPlayed(int removedIndex);

    std::vector<std::wstring> m_tracks;
    int m_current = -1;
    std::vector<int> m_played;   // shuffle history of this round, oldest first
    std::uint32_t m_random = 0x2545F491;
};

// The file names of a bus message "open" "name" "name" ...: the word "open"
// (letters in any case), then each name between double quotes; names
// without quotes are taken up to the next blank. False when the message is
// not an "open" message; an "open" without names gives true and no names.
// The word "add" instead gives the same, with *addOnly set (the files join
// the playlist and nothing starts to play).
bool ParseOpenMessage(const std::wstring& message, std::vector<std::wstring>& names, bool* addOnly = nullptr);

// "m:ss" (or "h:mm:ss" from an hour on) for a number of seconds.
std::wstring FormatTime(std::int64_t seconds);

}  // namespace vocalith
