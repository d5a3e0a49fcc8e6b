// Title, artist, album, track number and duration of a music file, read by
// the modules' shared tag readers (mediatags/media_tags.h): WAV, MP3 (ID3v2,
// ID3v1), FLAC, Ogg Vorbis, Opus, MP4 and ASF files.
#pragma once

#include "mediatags/media_tags.h"

namespace tunestack {

using mediatags::ByteSource;
using mediatags::FormatDuration;
using mediatags::MemorySource;
using TrackInfo = mediatags::MediaTags;
using AudioKind = mediatags::MediaFormat;

// What the bytes hold; a file of no known format gives Unknown and an empty record.
inline AudioKind ReadTrackInfo(ByteSource& source, TrackInfo& info) { return mediatags::ReadMediaTags(source, info); }

}  // namespace tunestack
