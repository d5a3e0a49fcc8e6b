// Tunestack's two files and its library in memory: what is written is what
// the host's chooser reads (line ends, identifiers, element names), bad files
// are refused without harm, and everything read is written back.
#include "tunestack/library_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tunestack;

namespace {

std::string Utf16(const std::wstring& text, bool bom = true)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (wchar_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return out;
}

}  // namespace

TEST(TunestackFileList, WrittenListReadsBackWithTheSameIdentifiers)
{
    const std::vector<std::wstring> paths = {L"C:\\Music\\a.mp3", L"D:\\\u00c9t\u00e9\\b.wav", std::wstring(400, L'x')};
    const std::string bytes = SerializeFileList(paths);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_EQ(bytes, Utf16(L"C:\\Music\\a.mp3\r\nD:\\\u00c9t\u00e9\\b.wav\r\n" + std::wstring(400, L'x') + L"\r\n"));
    const FileListRead read = ParseFileList(bytes);
    EXPECT_TRUE(read.valid);
    EXPECT_EQ(read.paths, paths);

    // A path holding a line end would shift every identifier after it.
    const FileListRead odd = ParseFileList(SerializeFileList({L"a\r\nb", L"", L"c"}));
    EXPECT_EQ(odd.paths, (std::vector<std::wstring>{L"ab", L"?", L"c"}));
}

TEST(TunestackFileList, ReadsLinesAsTheChooserDoes)
{
    // Empty lines do not count; CR, LF, CR LF and NUL end lines; a last line needs no end.
    const FileListRead read = ParseFileList(Utf16(L"one\r\n\r\ntwo\rthree\nfour\0five", true) +
                                            std::string("\x00", 1));
    EXPECT_TRUE(read.valid);
    EXPECT_EQ(read.paths, (std::vector<std::wstring>{L"one", L"two", L"three", L"four"}));
    EXPECT_EQ(ParseFileList(Utf16(std::wstring(L"a\0b", 3) + L"\r\n")).paths, (std::vector<std::wstring>{L"a", L"b"}));

    // Without the byte-order mark the list is empty and marked as not read.
    const FileListRead plain = ParseFileList(Utf16(L"C:\\x.mp3\r\n", false));
    EXPECT_FALSE(plain.valid);
    EXPECT_TRUE(plain.paths.empty());
    EXPECT_FALSE(ParseFileList("").valid);
    EXPECT_FALSE(ParseFileList("\xFF").valid);
    // A trailing odd byte is ignored.
    EXPECT_EQ(ParseFileList(Utf16(L"ab") + "c").paths, (std::vector<std::wstring>{L"ab"}));
}

TEST(TunestackPlaylists, WritesUtf16WithTabsAndReadsItBack)
{
    Library library;
    library.AddFile(L"C:\\a.mp3");
    library.AddFile(L"C:\\b & <c>.wav");
    XmlNode* evening = library.AddPlaylist(L"Evening \"quiet\" & <soft>");
    ASSERT_TRUE(library.AddTrack(*evening, 1));
    ASSERT_TRUE(library.AddTrack(*evening, 0));
    library.AddPlaylist(L"Empty");
    const std::string bytes = library.PlaylistsBytes();
    EXPECT_EQ(bytes, Utf16(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                           L"<Library>\r\n"
                           L"\t<playlist Name=\"Evening &quot;quiet&quot; &amp; &lt;soft&gt;\">\r\n"
                           L"\t\t<t id=\"1\"/>\r\n"
                           L"\t\t<t id=\"0\"/>\r\n"
                           L"\t</playlist>\r\n"
                           L"\t<playlist Name=\"Empty\"/>\r\n"
                           L"</Library>\r\n"));
    Library again;
    ASSERT_TRUE(again.LoadPlaylists(bytes));
    ASSERT_EQ(again.Playlists().size(), 2u);
    EXPECT_EQ(*again.Playlists()[0]->Attribute(L"Name"), L"Evening \"quiet\" & <soft>");
    EXPECT_EQ(Library::Tracks(*again.Playlists()[0]), (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(again.PlaylistsBytes(), bytes);
}

TEST(TunestackPlaylists, KeepsWhatOthersWroteAndReadsOtherEncodings)
{
    // UTF-8 with declaration, comments, a document type, text, CDATA, groups,
    // unknown attributes and character references.
    const std::string utf8 =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE lib [ <!ELEMENT t EMPTY> ]>\n"
        "<!-- made elsewhere -->\n"
        "<Lib Owner='someone'>\n"
        "  text <![CDATA[ <t id=\"9\"/> ]]> &amp;\n"
        "  <group Name=\"Rock &#x263A; &#65;\" Extra=\"1\">\n"
        "    <playlist name=\"Nested\"><t id=\" 2 \" rating=\"5\"/><t id=\"x\"/><t/></playlist>\n"
        "  </group>\n"
        "  <?pi data?>\n"
        "  <playlist Name=\"caf\xC3\xA9 \xF0\x9F\x8E\xB5\"></playlist>\n"
        "</Lib>\n";
    Library library;
    ASSERT_TRUE(library.LoadPlaylists(utf8));
    const XmlNode& root = library.Root();
    EXPECT_EQ(root.name, L"Lib");
    EXPECT_EQ(*root.Attribute(L"owner"), L"someone");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(*root.children[0].Attribute(L"Name"), L"Rock \u263A A");
    const auto playlists = library.Playlists();
    ASSERT_EQ(playlists.size(), 2u);
    EXPECT_EQ(*playlists[0]->Attribute(L"Name"), L"Nested");   // attribute names ignore case
    EXPECT_EQ(Library::Tracks(*playlists[0]), (std::vector<std::int32_t>{2, -1, -1}));
    EXPECT_EQ(*playlists[1]->Attribute(L"Name"), std::wstring(L"caf\u00e9 ") + wchar_t(0xD83C) + wchar_t(0xDFB5));

    // Written back and read again: the same tree, unknown attributes included.
    Library again;
    ASSERT_TRUE(again.LoadPlaylists(library.PlaylistsBytes()));
    EXPECT_EQ(again.PlaylistsBytes(), library.PlaylistsBytes());
    EXPECT_EQ(*again.Playlists()[0]->children[0].Attribute(L"rating"), L"5");

    // UTF-16 big-endian, and UTF-16LE without a mark.
    std::string be("\xFE\xFF", 2);
    for (char c : std::string("<a><playlist Name=\"B\"/></a>")) {
        be.push_back('\0');
        be.push_back(c);
    }
    ASSERT_TRUE(again.LoadPlaylists(be));
    EXPECT_EQ(*again.Playlists().at(0)->Attribute(L"Name"), L"B");
    ASSERT_TRUE(again.LoadPlaylists(Utf16(L"<a><playlist Name=\"C\"/></a>", false)));
    EXPECT_EQ(*again.Playlists().at(0)->Attribute(L"Name"), L"C");
}

TEST(TunestackPlaylists, RefusesMalformedDocumentsWithAnEmptyLibrary)
{
    const char* bad[] = {
        "",
        "   ",
        "not xml",
        "<Library>",
        "<Library><playlist Name=\"x\"></Library>",
        "<Library></library>",
        "<Library a=\"1\" a=\"2\"/>",
        "<Library a=\"1\"b=\"2\"/>",
        "<Library a=1/>",
        "<Library a=\"<\"/>",
        "<Library a=\"&bogus;\"/>",
        "<Library a=\"&#0;\"/>",
        "<Library a=\"&#xD800;\"/>",
        "<Library a=\"&#99999999;\"/>",
        "<Library/><Second/>",
        "<Library/>trailing",
        "<Library><!-- unclosed </Library>",
        "<Library><![CDATA[ x </Library>",
        "<?xml version=\"1.0\"",
        "<Library>&amp</Library>",
    };
    for (const char* text : bad) {
        Library library;
        library.AddPlaylist(L"Before");
        EXPECT_FALSE(library.LoadPlaylists(text)) << text;
        EXPECT_TRUE(library.Playlists().empty()) << text;
        EXPECT_EQ(library.Root().name, L"Library");
    }
    // Nesting is limited, so a hostile file cannot exhaust the stack.
    std::string deep;
    for (int i = 0; i < kMaxXmlDepth; ++i) deep += "<g>";
    for (int i = 0; i < kMaxXmlDepth; ++i) deep += "</g>";
    EXPECT_TRUE(ParseXml(deep).has_value());
    std::string tooDeep;
    for (int i = 0; i < 100000; ++i) tooDeep += "<g>";
    EXPECT_FALSE(ParseXml(tooDeep).has_value());
}

TEST(TunestackLibrary, FilesPlaylistsAndTracks)
{
    Library library;
    EXPECT_EQ(library.AddFile(L"C:\\Music\\A.mp3"), 0);
    EXPECT_EQ(library.AddFile(L"C:\\Music\\b.wav"), 1);
    EXPECT_EQ(library.AddFile(L"c:/music/a.MP3"), 0);   // the same file
    EXPECT_EQ(library.Files().size(), 2u);
    EXPECT_EQ(library.FindFile(L"C:\\MUSIC\\B.WAV"), 1);
    EXPECT_FALSE(library.FindFile(L"C:\\Music\\c.wav").has_value());
    // Only ASCII letters fold, as the file system's comparison here does.
    EXPECT_EQ(library.AddFile(L"C:\\Music\\\u00c9t\u00e9.mp3"), 2);
    EXPECT_EQ(library.AddFile(L"C:\\Music\\\u00e9t\u00e9.mp3"), 3);
    EXPECT_EQ(library.FindFile(L"c:/MUSIC/\u00c9T\u00e9.MP3"), 2);
    EXPECT_TRUE(library.RemoveFile(3));
    EXPECT_TRUE(library.RemoveFile(2));

    // A playlist inside a group, as another program may have written it.
    ASSERT_TRUE(library.LoadPlaylists("<Library><playlist Name=\"Top\"/><group Name=\"G\"><playlist Name=\"In\">"
                                      "<t id=\"0\"/><t id=\"1\"/><t id=\"0\"/></playlist></group></Library>"));
    auto playlists = library.Playlists();
    ASSERT_EQ(playlists.size(), 2u);
    XmlNode* inner = playlists[1];
    EXPECT_FALSE(library.AddTrack(*inner, 2));
    EXPECT_FALSE(library.AddTrack(*inner, -1));
    EXPECT_TRUE(library.AddTrack(*inner, 1));
    EXPECT_TRUE(library.RemoveTrack(*inner, 1));
    EXPECT_FALSE(library.RemoveTrack(*inner, 3));
    EXPECT_EQ(Library::Tracks(*inner), (std::vector<std::int32_t>{0, 0, 1}));

    inner->SetAttribute(L"name", L"Renamed");
    EXPECT_EQ(inner->attributes.size(), 1u);
    EXPECT_EQ(*inner->Attribute(L"Name"), L"Renamed");

    EXPECT_TRUE(library.RemovePlaylist(inner));
    EXPECT_FALSE(library.RemovePlaylist(nullptr));
    playlists = library.Playlists();
    ASSERT_EQ(playlists.size(), 1u);
    EXPECT_EQ(*playlists[0]->Attribute(L"Name"), L"Top");
    ASSERT_EQ(library.Root().children.size(), 2u);   // the group stays
    XmlNode stranger;
    EXPECT_FALSE(library.RemovePlaylist(&stranger));
}

// The index of paths follows every change of the list: a list loaded with a
// path twice (written elsewhere), files removed (identifiers after them move
// down, in the playlists too) and renamed.
TEST(TunestackLibrary, PathIndexFollowsLoadsRemovalsAndRenames)
{
    Library library;
    ASSERT_TRUE(library.LoadFileList(SerializeFileList({L"C:\\a.mp3", L"C:\\b.mp3", L"c:/A.MP3", L"C:\\c.mp3"})));
    EXPECT_EQ(library.FindFile(L"C:\\A.mp3"), 0);   // the first of the two
    EXPECT_EQ(library.AddFile(L"c:\\c.MP3"), 3);
    ASSERT_TRUE(library.LoadPlaylists("<Library><g><playlist Name=\"P\"><t id=\"3\"/><t id=\"1\"/><t id=\"0\"/>"
                                      "<t id=\"2\"/></playlist></g></Library>"));

    // Removing the first copy: the second answers for the path; tracks renumbered.
    EXPECT_TRUE(library.RemoveFile(0));
    EXPECT_FALSE(library.RemoveFile(3));
    EXPECT_FALSE(library.RemoveFile(-1));
    EXPECT_EQ(library.Files(), (std::vector<std::wstring>{L"C:\\b.mp3", L"c:/A.MP3", L"C:\\c.mp3"}));
    EXPECT_EQ(library.FindFile(L"C:\\a.mp3"), 1);
    EXPECT_EQ(library.FindFile(L"C:\\c.mp3"), 2);
    EXPECT_EQ(Library::Tracks(*library.Playlists()[0]), (std::vector<std::int32_t>{2, 0, 1}));

    // A rename keeps the identifier; the old path is free, a taken one is refused.
    EXPECT_TRUE(library.RenameFile(1, L"D:\\new\\a.mp3"));
    EXPECT_FALSE(library.FindFile(L"C:\\a.mp3").has_value());
    EXPECT_EQ(library.FindFile(L"d:/NEW/a.mp3"), 1);
    EXPECT_FALSE(library.RenameFile(1, L"c:/B.mp3"));
    EXPECT_FALSE(library.RenameFile(7, L"C:\\x.mp3"));
    EXPECT_TRUE(library.RenameFile(1, L"D:/New/A.mp3"));   // the same file, spelt otherwise
    EXPECT_EQ(library.Files()[1], L"D:/New/A.mp3");
    EXPECT_EQ(library.AddFile(L"C:\\a.mp3"), 3);
    EXPECT_EQ(library.AddFile(L"d:\\new\\a.mp3"), 1);
    EXPECT_EQ(library.Files().size(), 4u);
}

TEST(TunestackTagCache, ReadsBackWhatItWroteAndKeepsWhatStandsBeforeDamage)
{
    std::vector<CachedTags> records(2);
    records[0].path = L"C:\\M\\\u00e9t\u00e9.mp3";
    records[0].size = 0x123456789ull;
    records[0].time = 0x01DA000000000001ull;
    records[0].tags.title = L"T\u00eftle";
    records[0].tags.artist = L"A";
    records[0].tags.track = 7;
    records[0].tags.durationMs = 61000;
    records[1].path = L"D:\\b.wav";   // no tags, length unknown
    const std::string bytes = SerializeTagCache(records);
    const std::vector<CachedTags> read = ParseTagCache(bytes);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].path, records[0].path);
    EXPECT_EQ(read[0].size, records[0].size);
    EXPECT_EQ(read[0].time, records[0].time);
    EXPECT_EQ(read[0].tags.title, L"T\u00eftle");
    EXPECT_EQ(read[0].tags.artist, L"A");
    EXPECT_EQ(read[0].tags.album, L"");
    EXPECT_EQ(read[0].tags.track, 7);
    EXPECT_EQ(read[0].tags.durationMs, 61000);
    EXPECT_EQ(read[1].tags.durationMs, -1);
    // Made from the library's own vectors: the same bytes, a file without tags left out.
    EXPECT_EQ(SerializeTagCache({records[0].path, L"E:\\none.mp3", records[1].path}, {records[0].tags, std::nullopt, records[1].tags},
                                {{records[0].size, records[0].time}, {9, 9}, {records[1].size, records[1].time}}),
              bytes);

    // Cut inside the second record: the first stays; a foreign file or another version gives nothing.
    EXPECT_EQ(ParseTagCache(bytes.substr(0, bytes.size() - 3)).size(), 1u);
    EXPECT_TRUE(ParseTagCache("TSTC").empty());
    EXPECT_TRUE(ParseTagCache(Utf16(L"C:\\a.mp3\r\n")).empty());
    std::string other = bytes;
    other[4] = 2;
    EXPECT_TRUE(ParseTagCache(other).empty());
    // A count far beyond what the bytes hold costs no memory.
    std::string huge = bytes.substr(0, 8) + std::string("\xFF\xFF\xFF\x7F", 4);
    EXPECT_TRUE(ParseTagCache(huge).empty());
}

TEST(TunestackLibrary, SupportedFilesAndNames)
{
    EXPECT_TRUE(IsSupportedAudioFile(L"C:\\a\\b.WAV"));
    EXPECT_TRUE(IsSupportedAudioFile(L"song.mp3"));
    EXPECT_FALSE(IsSupportedAudioFile(L"C:\\a.mp3\\b"));
    EXPECT_FALSE(IsSupportedAudioFile(L"notes.txt"));
    EXPECT_FALSE(IsSupportedAudioFile(L"mp3"));
    EXPECT_EQ(FileNamePart(L"C:\\x/y\\z.mp3"), L"z.mp3");
    EXPECT_EQ(FileNamePart(L"plain"), L"plain");
}

TEST(TunestackLibrary, BusCommands)
{
    BusCommand command = ParseBusCommand(L"  OPEN \"C:\\a b.mp3\" C:\\c.mp3\t\"\" \"D:\\unclosed");
    EXPECT_EQ(command.verb, L"open");
    EXPECT_EQ(command.names, (std::vector<std::wstring>{L"C:\\a b.mp3", L"C:\\c.mp3", L"D:\\unclosed"}));
    EXPECT_EQ(ParseBusCommand(L"").verb, L"");
    EXPECT_TRUE(ParseBusCommand(L"addfolder").names.empty());
    const std::wstring made = MakeBusCommand(L"open", {L"C:\\x y.wav", L"E:\\z.mp3"});
    EXPECT_EQ(made, L"open \"C:\\x y.wav\" \"E:\\z.mp3\"");
    EXPECT_EQ(ParseBusCommand(made).names, (std::vector<std::wstring>{L"C:\\x y.wav", L"E:\\z.mp3"}));
}
