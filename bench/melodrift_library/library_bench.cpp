// The media library with a collection of many files: each figure against a
// baseline measured in the same run.
//   melodrift_library_bench [files] [--kv]      (default 20000 files)
// The collection is made in the temporary folder (copies of one small tagged
// WAV file under distinct names, 100 to a folder, two levels deep) and
// removed afterwards.
#include "host_test_support.h"
#include "library_store.h"
#include "vocalith_open.h"

#include <windows.h>
#include <psapi.h>

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

// A tenth of a second of 16-bit stereo silence with a title, an artist and an album.
std::string TaggedWav() {
    const std::string data(4410 * 4, '\0');
    std::string info = "INFO";
    for (const auto& [id, text] : {std::pair<const char*, std::string>{"INAM", "A title of a track"},
                                   {"IART", "An artist"}, {"IPRD", "An album of tracks"}}) {
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
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kv") == 0) kv = true;
        else count = std::atoi(argv[i]);
    }
    if (count < 100 || count > 1000000) {
        std::fprintf(stderr, "usage: melodrift_library_bench [files 100..1000000] [--kv]\n");
        return 2;
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"library-bench-" + std::to_wstring(GetCurrentProcessId());

    // The collection: folder "Artist NN" / "Album NN" / "NNNNN Track.wav", 100 files to a folder.
    auto start = Clock::now();
    const std::string wav = TaggedWav();
    CreateDirectoryW(root.c_str(), nullptr);
    std::wstring folder;
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0) {
            const std::wstring artist = root + L"\\Artist " + std::to_wstring(i / 1000);
            CreateDirectoryW(artist.c_str(), nullptr);
            folder = artist + L"\\Album " + std::to_wstring(i / 100);
            CreateDirectoryW(folder.c_str(), nullptr);
        }
        if (!WriteBytes(folder + L"\\" + std::to_wstring(100000 + i) + L" Track.wav", wav)) {
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
    std::vector<tunestack::TrackInfo> tags;
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

    const std::wstring fileDb = root + L"\\fileDB.dat";
    start = Clock::now();
    const bool saved = tunestack::WriteFileAtomically(fileDb, library.FileListBytes());
    const double save = Seconds(start);
    start = Clock::now();
    std::string bytes;
    tunestack::Library loaded;
    const bool read = tunestack::ReadWholeFile(fileDb, bytes) && loaded.LoadFileList(bytes);
    const double load = Seconds(start);
    const bool same = read && loaded.Files().size() == library.Files().size();
    RemoveTree(root);
    if (walked != static_cast<std::size_t>(count) || found.size() != walked || !saved || !same) {
        std::fprintf(stderr, "walked %zu, added %zu of %d files; fileDB.dat %s\n", walked, found.size(), count,
                     saved && same ? "kept" : "not kept");
        return 1;
    }
    VocalithOpenTimes open;
    const bool opened = MeasureVocalithOpen(mdtest::TestFolder() + L"Vocalith.dll", count, open);
    if (!opened) std::fprintf(stderr, "Vocalith did not list the playlist\n");
    const double perTrack = static_cast<double>(fullBytes > emptyBytes ? fullBytes - emptyBytes : 0) / count;
    if (kv) {
        std::printf("library_files=%d\nlibrary_generate_seconds=%.2f\nlibrary_bare_walk_files_per_s=%.0f\n"
                    "library_add_files_per_s=%.0f\nlibrary_add_ratio=%.3f\nlibrary_filedb_bytes=%zu\n"
                    "library_filedb_save_ms=%.1f\nlibrary_filedb_load_ms=%.1f\nlibrary_bytes_per_track=%.0f\n"
                    "vocalith_open_shown_s=%.3f\nvocalith_open_filled_s=%.3f\n",
                    count, generated, walked / bare, count / added, bare / added, bytes.size(), save * 1000, load * 1000,
                    perTrack, open.shownSeconds, open.filledSeconds);
    } else {
        std::printf("%d files made in %.1f s\n"
                    "bare walk reading 64 KiB of each: %.0f files/s\n"
                    "added as Tunestack adds a folder (walk, tags, library): %.0f files/s, %.2f of the bare walk's rate\n"
                    "fileDB.dat (%zu bytes): saved in %.1f ms, loaded in %.1f ms\n"
                    "memory above an empty library: %.0f bytes a track (paths and tags)\n"
                    "Vocalith, a playlist of %d entries: listed in %.3f s, every row looked at in %.1f s\n",
                    count, generated, walked / bare, count / added, bare / added, bytes.size(), save * 1000, load * 1000,
                    perTrack, count, open.shownSeconds, open.filledSeconds);
    }
    return opened ? 0 : 1;
}
