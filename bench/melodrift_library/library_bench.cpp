// The media library with a collection of many files: each figure against a
// baseline measured in the same run.
//   melodrift_library_bench [files] [--kv] [--templates FOLDER]   (default 20000 files)
// The collection is made in the temporary folder, 100 files to a folder, two
// levels deep: in turn a small tagged WAV file and copies of the sound files
// make_templates.sh encoded into FOLDER (MP3 with ID3v2.3 and with ID3v2.4,
// FLAC, M4A, WMA), each copy with its own title, artist and album written
// over the template's numbers. A kind without its template is made WAV, and
// said so. The collection is removed afterwards.
#include "library_store.h"
#include "module_test_host.h"
#include "track_sort.h"
#include "tunestack_add.h"
#include "vocalith_open.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void Put32(std::string& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A tenth of a second of 16-bit stereo silence with a title, an artist and an
// album holding the numbers each copy gets.
std::string TaggedWav() {
    const std::string data(4410 * 4, '\0');
    std::string info = "INFO";
    for (const auto& [id, text] : {std::pair<const char*, std::string>{"INAM", "Title 00000"},
                                   {"IART", "Artist 000"}, {"IPRD", "Album 000"}}) {
        std::string value = text + '\0';
        if (value.size() % 2) value.push_back('\0');
        info += id;
        Put32(info, static_cast<std::uint32_t>(value.size()));
        info += value;
    }
    std::string b = "RIFF";
    Put32(b, static_cast<std::uint32_t>(4 + 24 + 8 + data.size() + 8 + info.size()));
    b += "WAVEfmt ";
    Put32(b, 16);
    b += std::string("\x01\x00\x02\x00", 4);
    Put32(b, 44100);
    Put32(b, 44100 * 4);
    b += std::string("\x04\x00\x10\x00", 4);
    b += "data";
    Put32(b, static_cast<std::uint32_t>(data.size()));
    b += data;
    b += "LIST";
    Put32(b, static_cast<std::uint32_t>(info.size()));
    return b + info;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}

// A sound file copied under many names: where its title, artist and album
// numbers stand (in single-byte text or UTF-16LE, as the encoder wrote them).
struct Template {
    const char* kind;
    const wchar_t* file;        // in the templates folder
    const wchar_t* extension;
    std::string bytes;
    struct Field {
        std::size_t at = 0;     // the first digit
        std::size_t step = 1;   // 2 for UTF-16LE
        int digits = 0;
    };
    std::vector<Field> fields;  // title, artist, album; those not found are left alone
    int copies = 0;
};

bool FindField(const std::string& bytes, const std::string& text, int digits, Template::Field& field) {
    std::string wide;
    for (char c : text) wide += std::string{c, '\0'};
    std::size_t at = bytes.find(text);
    if (at != std::string::npos) {
        field = {at + text.size() - digits, 1, digits};
        return true;
    }
    at = bytes.find(wide);
    if (at == std::string::npos) return false;
    field = {at + wide.size() - 2 * digits, 2, digits};
    return true;
}

void Prepare(Template& t) {
    t.fields.clear();
    Template::Field f;
    if (FindField(t.bytes, "Title 00000", 5, f)) t.fields.push_back(f);
    if (FindField(t.bytes, "Artist 000", 3, f)) t.fields.push_back(f);
    if (FindField(t.bytes, "Album 000", 3, f)) t.fields.push_back(f);
}

// The copy's numbers written over the template's (same length, in place).
void Number(Template& t, int title, int artist, int album) {
    const int values[3] = {title, artist, album};
    for (std::size_t k = 0; k < t.fields.size() && k < 3; ++k) {
        int v = values[k];
        for (int d = t.fields[k].digits - 1; d >= 0; --d, v /= 10)
            t.bytes[t.fields[k].at + static_cast<std::size_t>(d) * t.fields[k].step] = static_cast<char>('0' + v % 10);
    }
}

bool ReadBytes(const std::wstring& path, std::string& bytes) { return tunestack::ReadWholeFile(path, bytes) && !bytes.empty(); }

template <typename F>
double MedianMs(int runs, F&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        times.push_back(Seconds(start) * 1000);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The baseline: every file under the folder listed and the first 64 KiB of it read.
std::size_t BareWalk(const std::wstring& folder, std::vector<char>& buffer) {
    std::size_t files = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files += BareWalk(path, buffer);
            continue;
        }
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD got = 0;
        if (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) ++files;
        CloseHandle(file);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return files;
}

std::uint64_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
    // Wine may leave the private bytes out; the committed bytes are then the nearest.
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    int count = 20000;
    bool kv = false;
    std::wstring templates;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kv") == 0) kv = true;
        else if (std::strcmp(argv[i], "--templates") == 0 && i + 1 < argc) {
            const std::string folder = argv[++i];
            templates.assign(folder.begin(), folder.end());
        } else count = std::atoi(argv[i]);
    }
    if (count < 100 || count > 1000000) {
        std::fprintf(stderr, "usage: melodrift_library_bench [files 100..1000000] [--kv] [--templates FOLDER]\n");
        return 2;
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"library-bench-" + std::to_wstring(GetCurrentProcessId());

    // The kinds, taken in turn; one without its template is made WAV.
    std::vector<Template> kinds = {{"wav", nullptr, L".wav", TaggedWav(), {}, 0},
                                   {"mp3-id3v2.3", L"tone_id3v23.mp3", L".mp3", {}, {}, 0},
                                   {"mp3-id3v2.4", L"tone_id3v24.mp3", L".mp3", {}, {}, 0},
                                   {"flac", L"tone.flac", L".flac", {}, {}, 0},
                                   {"m4a", L"tone.m4a", L".m4a", {}, {}, 0},
                                   {"wma", L"tone.wma", L".wma", {}, {}, 0}};
    for (Template& t : kinds) {
        if (t.file && (templates.empty() || !ReadBytes(templates + L"\\" + t.file, t.bytes))) {
            std::fprintf(stderr, "no %s template (make_templates.sh): WAV instead\n", t.kind);
            t.bytes = kinds[0].bytes;
            t.extension = L".wav";
        }
        Prepare(t);
    }

    // The collection: folder "Artist NN" / "Album NN" / "NNNNNN Track.ext", 100 files to a folder.
    auto start = Clock::now();
    CreateDirectoryW(root.c_str(), nullptr);
    std::wstring folder;
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0) {
            const std::wstring artist = root + L"\\Artist " + std::to_wstring(i / 1000);
            CreateDirectoryW(artist.c_str(), nullptr);
            folder = artist + L"\\Album " + std::to_wstring(i / 100);
            CreateDirectoryW(folder.c_str(), nullptr);
        }
        Template& t = kinds[static_cast<std::size_t>(i) % kinds.size()];
        Number(t, i % 100000, i / 1000 % 1000, i / 100 % 1000);
        ++t.copies;
        if (!WriteBytes(folder + L"\\" + std::to_wstring(100000 + i) + L" Track" + t.extension, t.bytes)) {
            std::fprintf(stderr, "could not write the collection under the temporary folder\n");
            RemoveTree(root);
            return 1;
        }
    }
    const double generated = Seconds(start);

    std::vector<char> buffer(64 * 1024);
    start = Clock::now();
    const std::size_t walked = BareWalk(root, buffer);
    const double bare = Seconds(start);

    const std::uint64_t emptyBytes = PrivateBytes();
    tunestack::Library library;
    std::vector<std::optional<tunestack::TrackInfo>> tags;
    start = Clock::now();
    tunestack::WalkProblems problems;
    const std::vector<tunestack::WalkedFile> found = tunestack::WalkFolder(root, problems, 1000000);
    tags.reserve(found.size());
    for (const tunestack::WalkedFile& f : found) {
        tunestack::TrackInfo info;
        tunestack::ReadFileTrackInfo(f.path, info);
        library.AddFile(f.path);
        tags.push_back(std::move(info));
    }
    const double added = Seconds(start);
    const std::uint64_t fullBytes = PrivateBytes();
    std::size_t titled = 0;
    for (const auto& t : tags) titled += t->title.size() == 11 && t->title.compare(0, 6, L"Title ") == 0;

    // Sorted by each column, from the tags read (keys made as at the first sort by it).
    const std::vector<std::int8_t> missing;
    const tunestack::KnownTracks known{library.Files(), tags, missing};
    double slowestSort = 0;
    int slowestColumn = 0;
    bool sortedRight = true;
    static const char* const kColumnNames[] = {"title", "artist", "album", "number", "length", "path"};
    std::string sortTimes;   // each column's, in ms
    for (int column = 0; column < tunestack::kColumnCount; ++column) {
        tunestack::TrackSorter sorter;
        std::vector<std::int32_t> rows(library.Files().size());
        std::vector<std::size_t> places(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::int32_t>(rows.size() - 1 - i), places[i] = i;
        start = Clock::now();
        sorter.Sort(column, false, known, rows, places);
        const double ms = Seconds(start) * 1000;
        sortTimes += std::string(sortTimes.empty() ? "" : ", ") + kColumnNames[column] + " " + std::to_string(static_cast<int>(ms + 0.5));
        if (ms > slowestSort) slowestSort = ms, slowestColumn = column;
        // The titles are distinct and numbered as the files: their order is the files' own.
        if (column == tunestack::kTitleColumn && titled == rows.size()) {
            for (std::size_t i = 1; i < rows.size(); ++i) sortedRight = sortedRight && tags[static_cast<std::size_t>(rows[i - 1])]->title < tags[static_cast<std::size_t>(rows[i])]->title;
        }
    }

    // fileDB.dat and playlists.xml (one playlist of every track) saved and read back as Tunestack does.
    tunestack::XmlNode* everything = library.AddPlaylist(L"Everything");
    for (std::size_t i = 0; i < library.Files().size(); ++i) library.AddTrack(*everything, static_cast<std::int32_t>(i));
    const std::wstring fileDb = root + L"\\fileDB.dat";
    const std::wstring playlistsXml = root + L"\\playlists.xml";
    bool saved = true;
    const double save = MedianMs(5, [&] { saved = tunestack::WriteFileAtomically(fileDb, library.FileListBytes()) && saved; });
    const double xmlSave = MedianMs(5, [&] { saved = tunestack::WriteFileAtomically(playlistsXml, library.PlaylistsBytes()) && saved; });
    std::string bytes, xmlBytes;
    tunestack::Library loaded;
    bool read = true;
    const double load = MedianMs(5, [&] { read = tunestack::ReadWholeFile(fileDb, bytes) && loaded.LoadFileList(bytes) && read; });
    const double xmlLoad =
        MedianMs(5, [&] { read = tunestack::ReadWholeFile(playlistsXml, xmlBytes) && loaded.LoadPlaylists(xmlBytes) && read; });
    // The module itself adding the folder, its window posted messages meanwhile.
    TunestackAddTimes module;
    const bool moduleAdded = MeasureTunestackAdd(mdtest::ExeFolder() + L"Tunestack.dll", root, module) && module.rows == count;
    if (!moduleAdded) std::fprintf(stderr, "Tunestack did not add the folder (%d rows)\n", module.rows);
    const bool same = read && loaded.Files().size() == library.Files().size() && loaded.Playlists().size() == 1 &&
                      tunestack::Library::Tracks(*loaded.Playlists()[0]).size() == library.Files().size();
    RemoveTree(root);
    if (walked != static_cast<std::size_t>(count) || found.size() != walked || !saved || !same || !sortedRight) {
        std::fprintf(stderr, "walked %zu, added %zu of %d files; library files %s; sorted by title %s\n", walked, found.size(),
                     count, saved && same ? "kept" : "not kept", sortedRight ? "right" : "wrong");
        return 1;
    }
    if (titled != found.size()) std::fprintf(stderr, "the titles of %zu of %zu files were not read\n", found.size() - titled, found.size());
    VocalithOpenTimes open;
    const bool opened = MeasureVocalithOpen(mdtest::ExeFolder() + L"Vocalith.dll", count, open);
    if (!opened) std::fprintf(stderr, "Vocalith did not list the playlist\n");
    const double perTrack = static_cast<double>(fullBytes > emptyBytes ? fullBytes - emptyBytes : 0) / count;
    std::string mix;
    for (const Template& t : kinds) {
        if (!mix.empty()) mix += ' ';
        mix += std::string(t.kind) + (t.extension == std::wstring(L".wav") && t.file ? "(wav)" : "") + "=" + std::to_string(t.copies);
    }
    if (kv) {
        std::printf("library_files=%d\nlibrary_mix=%s\nlibrary_titles_read=%zu\nlibrary_generate_seconds=%.2f\n"
                    "library_bare_walk_files_per_s=%.0f\nlibrary_add_files_per_s=%.0f\nlibrary_add_ratio=%.3f\n"
                    "library_add_time_ratio=%.3f\n"
                    "library_sort_slowest_ms=%.1f\nlibrary_sort_slowest_column=%s\n"
                    "library_module_add_files_per_s=%.0f\nlibrary_module_longest_wait_ms=%.1f\n"
                    "library_module_longest_wait_at_s=%.1f\nlibrary_module_longest_step_ms=%.1f\n"
                    "library_module_longest_step_message=0x%X\nlibrary_module_probes=%d\n"
                    "library_module_progress_shown=%d\n"
                    "library_filedb_bytes=%zu\nlibrary_filedb_save_ms=%.1f\nlibrary_filedb_load_ms=%.1f\n"
                    "library_playlists_bytes=%zu\nlibrary_playlists_save_ms=%.1f\nlibrary_playlists_load_ms=%.1f\n"
                    "library_bytes_per_track=%.0f\nvocalith_open_shown_s=%.3f\nvocalith_open_filled_s=%.3f\n",
                    count, mix.c_str(), titled, generated, walked / bare, count / added, bare / added, added / bare,
                    slowestSort, kColumnNames[slowestColumn], count / module.seconds, module.longestWaitMs,
                    module.longestAtSeconds, module.longestStepMs, module.longestStepMessage, module.posted,
                    module.progressShown ? 1 : 0, bytes.size(), save, load, xmlBytes.size(), xmlSave, xmlLoad, perTrack,
                    open.shownSeconds, open.filledSeconds);
    } else {
        std::printf("%d files made in %.1f s (%s), titles read from %zu\n"
                    "bare walk reading 64 KiB of each: %.0f files/s\n"
                    "added as Tunestack adds a folder (walk, tags, library): %.0f files/s, %.2f of the bare walk's rate\n"
                    "sorted by each column from the stored tags: slowest %.1f ms (%s; ms: %s)\n"
                    "Tunestack.dll adding the folder: %.0f files/s in %.1f s; a message posted every 10 ms waited at "
                    "most %.1f ms (at %.1f s; %d posted; progress and Cancel %s)\n"
                    "fileDB.dat (%zu bytes): saved in %.1f ms, loaded in %.1f ms (medians of 5)\n"
                    "playlists.xml (%zu bytes): saved in %.1f ms, loaded in %.1f ms (medians of 5)\n"
                    "memory above an empty library: %.0f bytes a track (paths and tags)\n"
                    "Vocalith, a playlist of %d entries: listed in %.3f s, every row looked at in %.1f s\n",
                    count, generated, mix.c_str(), titled, walked / bare, count / added, bare / added, slowestSort,
                    kColumnNames[slowestColumn], sortTimes.c_str(), count / module.seconds, module.seconds,
                    module.longestWaitMs, module.longestAtSeconds, module.posted, module.progressShown ? "shown" : "not shown", bytes.size(), save, load, xmlBytes.size(), xmlSave,
                    xmlLoad, perTrack, count, open.shownSeconds, open.filledSeconds);
    }
    return opened && moduleAdded ? 0 : 1;
}
