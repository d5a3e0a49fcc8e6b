// Playlists of the three kinds written and read back with a non-ASCII path,
// relative and absolute entries and their titles and lengths; files of other
// players as they write them.
#include "mediatags/playlist_files.h"

#include <gtest/gtest.h>

namespace {

using namespace mediatags;

// A code page that holds Latin-1 only, as a Western system's does for these tests.
std::wstring DecodeLatin1(std::string_view bytes)
{
    std::wstring text;
    for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}
bool EncodeLatin1(const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    for (wchar_t c : text) {
        if (c > 0xFF) return false;
        bytes.push_back(static_cast<char>(c));
    }
    return true;
}
const CodePage kLatin1{&DecodeLatin1, &EncodeLatin1};

TEST(PlaylistFiles, EachKindRoundTripsPathsTitlesAndLengths)
{
    const std::wstring folder = L"C:\\Music\\Lists";
    const std::vector<PlaylistEntry> entries = {
        {L"C:\\Music\\Lists\\Gr\u00fc\u00dfe \u03a9.flac", L"Zo\u00eb \u2013 Gr\u00fc\u00dfe", 125},
        {L"D:\\Other\\missing.mp3", L"", -1},
        {L"C:\\Music\\Lists\\sub\\#1 hit.ogg", L"Hit", 3},
        {L"http://radio.example/stream", L"Radio", -1},
    };
    for (PlaylistFormat format : {PlaylistFormat::M3u, PlaylistFormat::M3u8, PlaylistFormat::Pls}) {
        SCOPED_TRACE(static_cast<int>(format));
        const std::string bytes = WritePlaylist(entries, format, folder, kLatin1);
        const std::vector<PlaylistEntry> back = ParsePlaylist(bytes, format, folder, kLatin1);
        ASSERT_EQ(back.size(), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(back[i].path, entries[i].path);
            EXPECT_EQ(back[i].title, entries[i].title);
            EXPECT_EQ(back[i].seconds, entries[i].seconds);
        }
        // Entries inside the playlist's folder are written relative to it.
        EXPECT_EQ(bytes.find("C:\\Music\\Lists"), std::string::npos);
        EXPECT_NE(bytes.find("D:\\Other\\missing.mp3"), std::string::npos);
        // "Ω" has no place in Latin-1: an M3U or PLS is then UTF-8 with its mark.
        EXPECT_EQ(bytes.substr(0, 3) == "\xEF\xBB\xBF", format != PlaylistFormat::M3u8);
    }
    // Where the code page holds every character, an M3U is written in it.
    const std::string latin = WritePlaylist({{L"C:\\a\\K\u00f6ln.mp3", L"", -1}}, PlaylistFormat::M3u, L"C:\\b", kLatin1);
    EXPECT_EQ(latin, "#EXTM3U\r\nC:\\a\\K\xF6ln.mp3\r\n");
    EXPECT_EQ(ParsePlaylist(latin, PlaylistFormat::M3u, L"C:\\b", kLatin1)[0].path, L"C:\\a\\K\u00f6ln.mp3");
}

TEST(PlaylistFiles, FilesOfOtherPlayers)
{
    // Slashes, "..", a path from the drive's root, LF line ends, comments, no header.
    const std::string m3u = "# a comment\n../up.mp3\n#EXTINF:61,Artist - Song\nsub/song.flac\n\\root.wav\n\n";
    const auto a = ParsePlaylist(m3u, PlaylistFormat::M3u8, L"C:\\Music\\Lists", CodePage());
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].path, L"C:\\Music\\up.mp3");
    EXPECT_EQ(a[1].path, L"C:\\Music\\Lists\\sub\\song.flac");
    EXPECT_EQ(a[1].title, L"Artist - Song");
    EXPECT_EQ(a[1].seconds, 61);
    EXPECT_EQ(a[2].path, L"C:\\root.wav");
    // PLS: keys in any case and order, gaps in the numbering, an entry without a file.
    const std::string pls = "[Playlist]\r\nnumberofentries=3\r\nTitle2=Two\r\nFile2=two.ogg\r\nFILE1=\\\\server\\share\\one.mp3\r\n"
                            "Length1=-1\r\nTitle5=No file\r\nFile9=C:/x/nine.wma\r\nVersion=2\r\n";
    const auto b = ParsePlaylist(pls, PlaylistFormat::Pls, L"C:\\L", CodePage());
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0].path, L"\\\\server\\share\\one.mp3");
    EXPECT_EQ(b[0].seconds, -1);
    EXPECT_EQ(b[1].path, L"C:\\L\\two.ogg");
    EXPECT_EQ(b[1].title, L"Two");
    EXPECT_EQ(b[2].path, L"C:\\x\\nine.wma");
    // File addresses are files (escaped UTF-8 included); "D:song.mp3" is on its own drive, not in the playlist's folder.
    const auto c = ParsePlaylist("file:///D:/M%C3%BCsik/a%20b.mp3\nfile://server/share/c.ogg\nD:song.mp3\nhttp://radio/x\n",
                                 PlaylistFormat::M3u8, L"C:\\L", CodePage());
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].path, L"D:\\M\u00fcsik\\a b.mp3");
    EXPECT_EQ(c[1].path, L"\\\\server\\share\\c.ogg");
    EXPECT_EQ(c[2].path, L"D:\\song.mp3");
    EXPECT_EQ(c[3].path, L"http://radio/x");
    // A UTF-8 file without a mark is read as UTF-8 even as .m3u; other bytes in the code page.
    EXPECT_EQ(ParsePlaylist("K\xC3\xB6ln.mp3", PlaylistFormat::M3u, L"C:", kLatin1)[0].path, L"C:\\K\u00f6ln.mp3");
    EXPECT_EQ(ParsePlaylist("K\xF6ln.mp3", PlaylistFormat::M3u, L"C:", kLatin1)[0].path, L"C:\\K\u00f6ln.mp3");
    EXPECT_EQ(PlaylistFormatOf(L"x.PLS"), PlaylistFormat::Pls);
    EXPECT_EQ(PlaylistFormatOf(L"x.m3u"), PlaylistFormat::M3u);
    EXPECT_EQ(FolderOf(L"C:\\a\\b.m3u"), L"C:\\a");
    EXPECT_EQ(TitleOfPath(L"C:\\a.d\\b.c.m3u"), L"b.c");
    EXPECT_EQ(TitleOfPath(L"C:/a/.hidden"), L".hidden");
    EXPECT_EQ(TitleOfPath(L"song"), L"song");
}

}  // namespace
