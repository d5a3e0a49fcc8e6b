// Load through the system XML parser and Save to files, in the test's own
// temporary folder: encodings, node kinds, failures that must leave the node or
// the old file alone, and read-write-read round trips.
#include "xml_test_support.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using mdxml_test::Difference;
using mdxml_test::Utf16Bytes;

namespace {

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned long c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

void RemoveTree(const std::wstring& folder) {
    for (const std::wstring& name : FolderEntries(folder)) {
        const std::wstring path = folder + L"\\" + name;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            RemoveTree(path);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

class MdXmlFiles : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        static std::atomic<int> counter{0};
        m_folder = std::wstring(temp) + L"mdxml-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter++);
        RemoveTree(m_folder);
        ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(m_folder); }

    std::wstring Path(const std::wstring& name) const { return m_folder + L"\\" + name; }

    std::wstring m_folder;
};

// The tree every variant of the sample document reads as.
std::unique_ptr<enXml> SampleTree() {
    auto root = std::make_unique<enXml>(L"SKIN_MM");
    root->SetAttribute(L"Caption", mdxml_test::Wide(u"\u0416 & <AB\U0001F3B5> \"q\" 'a'"));
    root->SetAttribute(L"Width", L"640");
    auto* panels = new enXml(L"Panels");
    root->AddChild(panels);
    auto* up = new enXml(L"FramePanelUp");
    up->SetAttribute(L"Height", L"20");
    panels->AddChild(up);
    root->AddChild(new enXml(L"Controls"));
    return root;
}

const std::u16string kSampleBody =
    u"<SKIN_MM Caption=\"\u0416 &amp; &lt;&#x41;&#66;&#x1F3B5;&gt; &quot;q&quot; &apos;a&apos;\" Width='640'>\n"
    u"  <Panels>\n"
    u"    <FramePanelUp Height=\"20\" />\n"
    u"  </Panels>\n"
    u"\t<Controls></Controls>\r\n"
    u"</SKIN_MM>\n";

// Name, tag, attributes and children of a node that must survive a failed Load.
struct Snapshot {
    explicit Snapshot(const enXml& node) : name(node.GetName()), tag(node.GetTag()), attributes(node.Attributes().begin(), node.Attributes().end()) {
        for (const enXml* child = node.FirstChild(); child; child = child->NextSibling())
            children.push_back(child);
    }
    bool operator==(const Snapshot& other) const = default;
    std::wstring name;
    std::int32_t tag;
    std::vector<enXmlAttribute> attributes;
    std::vector<const enXml*> children;
};

}  // namespace

TEST_F(MdXmlFiles, LoadReadsUtf8AndUtf16Documents) {
    const std::u16string utf8Declaration = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::u16string utf16Declaration = u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>\r\n";
    const struct {
        const wchar_t* name;
        std::string bytes;
    } variants[] = {
        {L"utf8-declared.xml", Utf8(utf8Declaration + kSampleBody)},
        {L"utf8-plain.xml", Utf8(kSampleBody)},
        {L"utf8-bom.xml", "\xEF\xBB\xBF" + Utf8(utf8Declaration + kSampleBody)},
        {L"utf16-declared.xml", Utf16Bytes(u"\uFEFF" + utf16Declaration + kSampleBody)},
        {L"utf16-plain.xml", Utf16Bytes(u"\uFEFF" + kSampleBody)},
        {L"utf16-no-mark.xml", Utf16Bytes(kSampleBody)},
        // A code page the declaration names: converted by the system (0xC6 is U+0416 there).
        {L"cp1251.xml", [] {
             std::string bytes = "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>" + Utf8(kSampleBody);
             bytes.replace(bytes.find("\xD0\x96"), 2, "\xC6");
             return bytes;
         }()},
        // Comments and processing instructions before the document element
        // are no document type declaration, whatever they hold.
        {L"utf16-prolog.xml", Utf16Bytes(u"\uFEFF" + utf16Declaration +
                                         u"<!-- <!DOCTYPE x> \u043c\u0421 --><?pi <!x?>\r\n" + kSampleBody)},
    };
    const std::unique_ptr<enXml> expected = SampleTree();
    for (const auto& variant : variants) {
        SCOPED_TRACE(mdxml_test::Describe(variant.name));
        WriteBytes(Path(variant.name), variant.bytes);
        enXml node;
        enXmlLoadError error = enXmlLoadError::NotWellFormed;
        ASSERT_TRUE(node.Load(Path(variant.name), &error));
        EXPECT_EQ(error, enXmlLoadError::None);
        EXPECT_EQ(Difference(node, *expected), "");
        EXPECT_EQ(node.GetTag(), 0);
    }
}

TEST_F(MdXmlFiles, LoadKeepsNodesThatAreNoElementsAsNamelessChildren) {
    WriteBytes(Path(L"kinds.xml"),
               "<r>\n  <a/>\n  <!-- a note -->\n  <b x=\"1\"/>\n  text\n  <?pi data?>\n  <![CDATA[<c/>]]>\n"
               "  <c><!--inner--></c>\n</r>\n");
    enXml node;
    ASSERT_TRUE(node.Load(Path(L"kinds.xml")));
    std::vector<std::wstring> names;
    for (const enXml* child = node.FirstChild(); child; child = child->NextSibling()) {
        names.push_back(child->GetName());
        if (child->GetName().empty()) {
            EXPECT_TRUE(child->Attributes().empty());
            EXPECT_EQ(child->FirstChild(), nullptr);
        }
    }
    // White space that only stands between elements is not kept.
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"", L"b", L"", L"", L"", L"c"}));
    ASSERT_NE(node.FindChild(L"B"), nullptr);
    EXPECT_EQ(node.FindChild(L"B")->Attributes().size(), 1u);
    ASSERT_NE(node.FindChild(L"c"), nullptr);
    EXPECT_EQ(node.FindChild(L"c")->GetChildCount(), 1);

    // Written again, the nameless nodes are left out and the elements read back.
    ASSERT_TRUE(node.Save(Path(L"kinds-saved.xml")));
    enXml again;
    ASSERT_TRUE(again.Load(Path(L"kinds-saved.xml")));
    std::vector<std::wstring> namesAgain;
    for (const enXml* child = again.FirstChild(); child; child = child->NextSibling())
        namesAgain.push_back(child->GetName());
    EXPECT_EQ(namesAgain, (std::vector<std::wstring>{L"a", L"b", L"c"}));
}

TEST_F(MdXmlFiles, LoadKeepsAttributeOrderValuesAndPrefixedNames) {
    WriteBytes(Path(L"order.xml"),
               "<p:root xmlns:p=\"urn:melodrift\" z=\"1\" a=\"2\" m=\"3\" s=\"  two  spaces  \" n=\"a\nb\" e=\"\">"
               "<p:child/></p:root>");
    enXml node;
    ASSERT_TRUE(node.Load(Path(L"order.xml")));
    EXPECT_EQ(node.GetName(), L"p:root");
    ASSERT_NE(node.FirstChild(), nullptr);
    EXPECT_EQ(node.FirstChild()->GetName(), L"p:child");
    std::vector<enXmlAttribute> plain;
    for (const enXmlAttribute& attribute : node.Attributes()) {
        if (attribute.first.rfind(L"xmlns", 0) != 0)
            plain.push_back(attribute);
    }
    const std::vector<enXmlAttribute> expected = {
        {L"z", L"1"}, {L"a", L"2"}, {L"m", L"3"}, {L"s", L"  two  spaces  "}, {L"n", L"a b"}, {L"e", L""}};
    EXPECT_EQ(plain, expected);
}

TEST_F(MdXmlFiles, LoadAddsToWhatTheNodeHolds) {
    WriteBytes(Path(L"twice.xml"), Utf8(kSampleBody));
    enXml node(L"Before");
    node.SetTag(5);
    ASSERT_TRUE(node.Load(Path(L"twice.xml")));
    EXPECT_EQ(node.GetTag(), 0);
    ASSERT_TRUE(node.Load(Path(L"twice.xml")));
    EXPECT_EQ(node.GetName(), L"SKIN_MM");
    ASSERT_EQ(node.Attributes().size(), 4u);
    EXPECT_EQ(node.Attributes()[2].first, L"Caption");
    EXPECT_EQ(node.GetChildCount(), 4);
    EXPECT_EQ(node.LastChild()->GetName(), L"Controls");
}

TEST_F(MdXmlFiles, LoadFailuresLeaveTheNodeUnchanged) {
    const std::string valid = Utf8(kSampleBody);
    WriteBytes(Path(L"valid.xml"), valid);
    WriteBytes(Path(L"empty.xml"), "");
    WriteBytes(Path(L"mismatched.xml"), "<a><b></a></b>");
    WriteBytes(Path(L"two-roots.xml"), "<a/><b/>");
    WriteBytes(Path(L"garbage.xml"), std::string("\x00\x01\x02\xFF\xFE\x00<<>>", 10));
    WriteBytes(Path(L"undefined-entity.xml"), "<a v=\"&nbsp;\"/>");
    WriteBytes(Path(L"unquoted.xml"), "<a v=1/>");
    // Document type declarations are refused, so entities cannot multiply.
    WriteBytes(Path(L"entities.xml"),
               "<!DOCTYPE a [<!ENTITY x \"xxxxxxxx\"><!ENTITY y \"&x;&x;&x;&x;&x;&x;&x;&x;\">"
               "<!ENTITY z \"&y;&y;&y;&y;&y;&y;&y;&y;\">]><a v=\"&z;&z;&z;&z;\">&z;</a>");
    WriteBytes(Path(L"external.xml"), "<!DOCTYPE a SYSTEM \"a.dtd\"><a/>");
    ASSERT_TRUE(CreateDirectoryW(Path(L"folder.xml").c_str(), nullptr));

    enXml node(L"Keep");
    node.SetTag(9);
    node.SetAttribute(L"a", L"1");
    node.AddChild(new enXml(L"child"));
    const Snapshot before(node);

    const struct {
        std::wstring path;
        enXmlLoadError error;
    } cases[] = {
        {L"", enXmlLoadError::NoFile},
        {Path(L"missing.xml"), enXmlLoadError::NoFile},
        {Path(L"folder.xml"), enXmlLoadError::NoFile},
        {Path(L"val*.xml"), enXmlLoadError::NoFile},
        {Path(L"valid.xm?"), enXmlLoadError::NoFile},
        {Path(L"empty.xml"), enXmlLoadError::NotWellFormed},
        {Path(L"mismatched.xml"), enXmlLoadError::NotWellFormed},
        {Path(L"two-roots.xml"), enXmlLoadError::NotWellFormed},
        {Path(L"garbage.xml"), enXmlLoadError::NotWellFormed},
        {Path(L"undefined-entity.xml"), enXmlLoadError::NotWellFormed},
        {Path(L"unquoted.xml"), enXmlLoadError::NotWellFormed},
        {Path(L"entities.xml"), enXmlLoadError::NotWellFormed},
        {Path(L"external.xml"), enXmlLoadError::NotWellFormed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(mdxml_test::Describe(c.path));
        enXmlLoadError error = enXmlLoadError::None;
        EXPECT_FALSE(node.Load(c.path, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(Snapshot(node) == before);
    }

    // Every cut of the document before the end of its root element.
    const std::size_t end = valid.rfind('>');
    for (std::size_t cut = 0; cut < end; cut += 3) {
        WriteBytes(Path(L"truncated.xml"), valid.substr(0, cut));
        EXPECT_FALSE(node.Load(Path(L"truncated.xml"))) << "cut at " << cut;
    }
    EXPECT_TRUE(Snapshot(node) == before);
    EXPECT_EQ(node.Attributes().size(), 1u);
    EXPECT_EQ(node.GetChildCount(), 1);
}

TEST_F(MdXmlFiles, LoadTakesPathsAsFileNamesNotUrls) {
    const std::wstring folder = Path(L"\u0416\u0443\u0440\u043d\u0430\u043b #1");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring path = folder + L"\\skin #2 %41 \u00e9.xml";
    WriteBytes(path, Utf8(kSampleBody));
    enXml node;
    ASSERT_TRUE(node.Load(path));
    EXPECT_EQ(Difference(node, *SampleTree()), "");
    EXPECT_TRUE(enXml::FileExists(path));
    EXPECT_FALSE(enXml::FileExists(folder));
    EXPECT_FALSE(enXml::FileExists(folder + L"\\*.xml"));
    EXPECT_FALSE(enXml::FileExists(L""));
}

TEST_F(MdXmlFiles, LoadWorksOnThreadsWithAndWithoutCom) {
    WriteBytes(Path(L"thread.xml"), Utf8(kSampleBody));
    const std::wstring path = Path(L"thread.xml");
    bool loadedWithout = false;
    HRESULT afterwards = E_FAIL;
    std::thread without([&] {
        enXml node;
        loadedWithout = node.Load(path);
        // Load balanced its own COM initialisation: this thread starts afresh.
        afterwards = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(afterwards))
            CoUninitialize();
    });
    without.join();
    EXPECT_TRUE(loadedWithout);
    EXPECT_EQ(afterwards, S_OK);

    bool loadedMultithreaded = false;
    std::thread mta([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        enXml node;
        loadedMultithreaded = node.Load(path);
        CoUninitialize();
    });
    mta.join();
    EXPECT_TRUE(loadedMultithreaded);

    // Threads reading at once, a long and a short document in turn: each
    // reading has buffers of its own (those kept between readings included).
    std::u16string longBody = kSampleBody;
    longBody.insert(longBody.rfind(u"</"), std::u16string(20000, u' '));
    WriteBytes(Path(L"long.xml"), Utf16Bytes(u"\uFEFF" + longBody));
    const std::unique_ptr<enXml> expected = SampleTree();
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&, t] {
            for (int i = 0; i < 30; ++i) {
                enXml node;
                if (!node.Load((i + t) % 2 ? path : Path(L"long.xml")) || Difference(node, *expected) != "")
                    ++wrong;
            }
        });
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(MdXmlFiles, SaveWritesTheDocumentByteForByte) {
    const std::unique_ptr<enXml> tree = SampleTree();
    const std::wstring path = Path(L"saved.xml");
    ASSERT_TRUE(tree->Save(path));
    const std::u16string expected =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>\r\n"
        u"<SKIN_MM Caption=\"\u0416 &amp; &lt;AB\U0001F3B5&gt; &quot;q&quot; &apos;a&apos;\" Width=\"640\">\r\n"
        u"\t<Panels>\r\n"
        u"\t\t<FramePanelUp Height=\"20\"/>\r\n"
        u"\t</Panels>\r\n"
        u"\t<Controls/>\r\n"
        u"</SKIN_MM>\r\n";
    EXPECT_EQ(ReadBytes(path), Utf16Bytes(expected));

    // A longer file in its place is replaced whole, with no tail left over.
    WriteBytes(path, std::string(100000, 'x'));
    ASSERT_TRUE(tree->Save(path));
    EXPECT_EQ(ReadBytes(path), Utf16Bytes(expected));
    EXPECT_EQ(FolderEntries(m_folder), std::vector<std::wstring>{L"saved.xml"});
}

TEST_F(MdXmlFiles, SaveFailuresKeepTheOldFileAndLeaveNoTemporaryFile) {
    const std::wstring path = Path(L"settings.xml");
    WriteBytes(path, "previous content");
    ASSERT_TRUE(CreateDirectoryW(Path(L"folder.xml").c_str(), nullptr));

    enXml invalid(L"Preset 1");
    EXPECT_FALSE(invalid.Save(path));
    EXPECT_EQ(ReadBytes(path), "previous content");

    const std::unique_ptr<enXml> tree = SampleTree();
    EXPECT_FALSE(tree->Save(Path(L"folder.xml")));
    EXPECT_FALSE(tree->Save(Path(L"no such folder\\x.xml")));
    EXPECT_FALSE(tree->Save(L""));

    // The target held open without sharing cannot be replaced.
    HANDLE locked = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(tree->Save(path));
    CloseHandle(locked);
    EXPECT_EQ(ReadBytes(path), "previous content");

    std::vector<std::wstring> entries = FolderEntries(m_folder);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::wstring>{L"folder.xml", L"settings.xml"}));
    EXPECT_EQ(FolderEntries(Path(L"folder.xml")), std::vector<std::wstring>{});

    ASSERT_TRUE(tree->Save(path));
    enXml back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(Difference(back, *tree), "");
}

TEST_F(MdXmlFiles, RoundTripOfRandomTreesGivesTheSameTree) {
    mdxml_test::RandomTrees random(31337);
    const std::wstring path = Path(L"round.xml");
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE("tree " + std::to_string(i));
        std::unique_ptr<enXml> tree = random.Tree(1 + random.Below(80), 1 + random.Below(20));
        ASSERT_TRUE(tree->Save(path));
        const std::string written = ReadBytes(path);
        ASSERT_EQ(written, mdxml_test::ReferenceDocument(*tree));
        enXml back;
        ASSERT_TRUE(back.Load(path));
        ASSERT_EQ(Difference(*tree, back), "");
        ASSERT_TRUE(back.Save(path));
        ASSERT_EQ(ReadBytes(path), written);
    }
}

TEST_F(MdXmlFiles, RoundTripOfDeepNesting) {
    mdxml_test::RandomTrees random(4242);
    std::unique_ptr<enXml> chain = random.Chain(200);
    enXml* node = chain.get();
    while (node->FirstChild())
        node = node->FirstChild();
    node->SetAttribute(L"all", L"&<>\"'\t\r\n\u0416\u4e2d");
    const std::wstring path = Path(L"deep.xml");
    ASSERT_TRUE(chain->Save(path));
    enXml back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(Difference(*chain, back), "");
}
