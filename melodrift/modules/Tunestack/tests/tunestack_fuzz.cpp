// Fuzzer over Tunestack's readers: the file list, the playlists document and
// the tag cache and the tag reader. Whatever is read must write out and read back unchanged.
#include "tunestack/library_files.h"
#include "tunestack/track_info.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const tunestack::FileListRead list = tunestack::ParseFileList(bytes);
    if (list.valid && tunestack::ParseFileList(tunestack::SerializeFileList(list.paths)).paths != list.paths) std::abort();

    tunestack::Library library;
    if (library.LoadPlaylists(bytes)) {
        const std::string written = library.PlaylistsBytes();
        tunestack::Library again;
        if (!again.LoadPlaylists(written) || again.PlaylistsBytes() != written) std::abort();
    }

    const std::vector<tunestack::CachedTags> cache = tunestack::ParseTagCache(bytes);
    const std::string cached = tunestack::SerializeTagCache(cache);
    if (tunestack::SerializeTagCache(tunestack::ParseTagCache(cached)) != cached) std::abort();

    tunestack::MemorySource source(data, size);
    tunestack::TrackInfo info;
    tunestack::ReadTrackInfo(source, info);
    return 0;
}
