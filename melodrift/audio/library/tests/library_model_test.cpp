// "fileDB.dat", the library tree from "playlists.xml" and what a double-click chooses.
#include "library/library_model.h"

#include "xml/enxml.h"

#include <gtest/gtest.h>

#include <string>

using namespace library;

namespace {

// UTF-16LE bytes of `text`, with the byte-order mark unless told otherwise.
std::string Utf16(const std::wstring& text, bool bom = true)
{
    std::string bytes;
    if (bom) bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

enXml* Add(enXml& parent, const wchar_t* name, const wchar_t* attribute = nullptr, const wchar_t* value = nullptr)
{
    auto* node = new enXml(name);
    if (attribute) node->SetAttribute(attribute, value);
    parent.AddChild(node);
    return node;
}

}  // namespace

TEST(LibraryFileList, LinesAreNumberedWithoutTheEmptyOnes)
{
    const FileList files = ParseFileList(Utf16(L"C:\\a.mp3\r\n\r\nC:\\b.mp3\r\nC:\\c.mp3"));
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], L"C:\\a.mp3");
    EXPECT_EQ(files[1], L"C:\\b.mp3");   // the empty line does not count
    EXPECT_EQ(files[2], L"C:\\c.mp3");   // the end of the file ends the line
}

TEST(LibraryFileList, LineEndsAndTheByteOrderMark)
{
    // A lone CR, a lone LF and a NUL end lines too; CR LF is one end.
    std::wstring text = L"one\rtwo\nthree";
    text.push_back(L'\0');
    text += L"four\r\n\n\r\rfive\r\n";
    EXPECT_EQ(ParseFileList(Utf16(text)), (FileList{L"one", L"two", L"three", L"four", L"five"}));
    EXPECT_TRUE(ParseFileList(Utf16(L"C:\\a.mp3", false)).empty());   // no byte-order mark
    EXPECT_TRUE(ParseFileList("").empty());
    EXPECT_TRUE(ParseFileList("\xFF").empty());
    EXPECT_TRUE(ParseFileList("\xFE\xFF" "a\0" + std::string(1, '\0')).empty());
    // Half a code unit at the end is dropped; surrogate pairs stay.
    std::string odd = Utf16(L"x\xD83C\xDFB5y");
    odd.push_back('z');
    EXPECT_EQ(ParseFileList(odd), (FileList{L"x\xD83C\xDFB5y"}));
}

TEST(LibraryFileList, LongLinesAreReadWhole)
{
    for (std::size_t length : {259u, 260u, 261u, 519u, 4000u}) {
        std::wstring longPath = L"C:\\Music\\";
        while (longPath.size() < length) longPath += L'x';
        const FileList files = ParseFileList(Utf16(longPath + L"\r\nC:\\after.mp3\r\n"));
        ASSERT_EQ(files.size(), 2u) << length;
        EXPECT_EQ(files[0], longPath);
        EXPECT_EQ(files[1], L"C:\\after.mp3");   // still identifier 1
    }
}

TEST(LibraryFileList, MissingFileGivesAnEmptyList)
{
    EXPECT_TRUE(LoadFileList("no-such-folder/fileDB.dat").empty());
}

TEST(LibraryTree, TracksPlaylistsAndGroups)
{
    const FileList files = {L"C:\\a.mp3", L"C:\\b.mp3"};
    enXml root(L"Library");
    Add(root, L"t", L"id", L"1");
    enXml* rock = Add(root, L"group", L"Name", L"Rock");
    enXml* best = Add(*rock, L"playlist", L"name", L"Best");   // attribute names match in any case
    Add(*best, L"t", L"id", L"0");
    Add(*best, L"t", L"id", L"2");    // outside the list: left out
    Add(*best, L"t", L"id", L"-1");
    Add(*best, L"t");                 // no id: left out
    Add(*rock, L"T", L"id", L"0");    // not a track: element names are exact
    Add(root, L"Folder");             // a group without a name
    root.AddChild(new enXml());       // text or a comment: not shown

    const std::vector<TreeItem> tree = BuildTree(root, files);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[0].text, L"C:\\b.mp3");
    EXPECT_NE(tree[0].element, nullptr);
    EXPECT_EQ(tree[1].text, L"Rock");
    EXPECT_EQ(tree[1].element, nullptr);
    ASSERT_EQ(tree[1].children.size(), 2u);
    const TreeItem& playlist = tree[1].children[0];
    EXPECT_EQ(playlist.text, L"Best");
    EXPECT_EQ(playlist.element, best);
    ASSERT_EQ(playlist.children.size(), 1u);
    EXPECT_EQ(playlist.children[0].text, L"C:\\a.mp3");
    EXPECT_EQ(tree[1].children[1].element, nullptr);   // "T" is a group
    EXPECT_EQ(tree[2].text, L"");
}

TEST(LibraryTree, DeepNestingIsCutOff)
{
    enXml root(L"Library");
    enXml* node = &root;
    for (int i = 0; i < 1000; ++i) node = Add(*node, L"group", L"Name", L"g");
    const std::vector<TreeItem> tree = BuildTree(root, {});
    int depth = 0;
    const std::vector<TreeItem>* level = &tree;
    while (!level->empty()) {
        ++depth;
        level = &(*level)[0].children;
    }
    EXPECT_EQ(depth, kMaxTreeDepth);
}

TEST(LibraryChoice, DoubleClicks)
{
    const FileList files = {L"C:\\a.mp3", L"C:\\b.mp3"};
    enXml root(L"Library");
    Add(root, L"t", L"id", L"0");
    enXml* group = Add(root, L"group", L"Name", L"G");
    Add(*group, L"playlist", L"Name", L"P");
    const std::vector<TreeItem> tree = BuildTree(root, files);
    std::vector<std::wstring> chosen;

    EXPECT_FALSE(Choose(nullptr, files, chosen));        // nothing selected
    EXPECT_FALSE(Choose(&tree[1], files, chosen));       // a group: stays open
    EXPECT_TRUE(chosen.empty());
    EXPECT_TRUE(Choose(&tree[1].children[0], files, chosen));   // a playlist: closes, nothing chosen
    EXPECT_TRUE(chosen.empty());
    EXPECT_TRUE(Choose(&tree[0], files, chosen));        // track 0: the first path
    EXPECT_EQ(chosen, (std::vector<std::wstring>{L"C:\\a.mp3"}));
}
