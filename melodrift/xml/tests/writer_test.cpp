// The writer's bytes: byte-order mark, declaration, tabs, CR LF, "/>", escapes;
// trees it refuses because no reader could take the result back.
#include "xml_test_support.h"

#include <gtest/gtest.h>

using mdxml_test::Utf16Bytes;

namespace {

const std::u16string kHead = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>\r\n";

std::string Saved(const enXml& root) {
    std::string bytes;
    EXPECT_TRUE(root.SaveToBuffer(bytes));
    return bytes;
}

bool Refused(const enXml& root) {
    std::string bytes = "left over";
    const bool ok = root.SaveToBuffer(bytes);
    if (!ok) {
        EXPECT_TRUE(bytes.empty());
    }
    return !ok;
}

}  // namespace

TEST(MdXmlWriter, WritesTheDocumentByteForByte) {
    enXml root(L"SKIN_MM");
    root.SetAttribute(L"Caption", L"Melodrift");
    root.SetAttribute(L"Width", L"640");
    auto* frame = new enXml(L"MAINFRAME");
    root.AddChild(frame);
    auto* panels = new enXml(L"Panels");
    frame->AddChild(panels);
    auto* up = new enXml(L"FramePanelUp");
    up->SetAttribute(L"Height", L"20");
    panels->AddChild(up);
    frame->AddChild(new enXml(L"Controls"));
    root.AddChild(new enXml(L"\u0416\u0443\u043a"));

    const std::u16string expected = kHead +
        u"<SKIN_MM Caption=\"Melodrift\" Width=\"640\">\r\n"
        u"\t<MAINFRAME>\r\n"
        u"\t\t<Panels>\r\n"
        u"\t\t\t<FramePanelUp Height=\"20\"/>\r\n"
        u"\t\t</Panels>\r\n"
        u"\t\t<Controls/>\r\n"
        u"\t</MAINFRAME>\r\n"
        u"\t<\u0416\u0443\u043a/>\r\n"
        u"</SKIN_MM>\r\n";
    EXPECT_EQ(Saved(root), Utf16Bytes(expected));

    enXml lone(L"Rezodovave");
    EXPECT_EQ(Saved(lone), Utf16Bytes(kHead + u"<Rezodovave/>\r\n"));
}

TEST(MdXmlWriter, EscapesAttributeTextAndKeepsEverythingElse) {
    enXml root(L"Preset1");
    root.SetAttribute(L"Value", L"a<b & \"c\" 'd' > e");
    root.SetAttribute(L"Lines", L"1\t2\r\n3");
    root.SetAttribute(L"Music", std::wstring(L"\u00e4\u4e2d") + static_cast<wchar_t>(0xD83C) +
                                    static_cast<wchar_t>(0xDFB5) + L"]]>%#;");
    const std::u16string expected = kHead +
        u"<Preset1 Value=\"a&lt;b &amp; &quot;c&quot; &apos;d&apos; &gt; e\""
        u" Lines=\"1&#9;2&#13;&#10;3\" Music=\"\u00e4\u4e2d\U0001F3B5]]&gt;%#;\"/>\r\n";
    EXPECT_EQ(Saved(root), Utf16Bytes(expected));
}

TEST(MdXmlWriter, TextEndsAtTheFirstNul) {
    enXml root(std::wstring(L"Name\0junk", 9));
    root.SetAttribute(std::wstring(L"id\0x", 4), std::wstring(L"12\0<34", 6));
    EXPECT_EQ(Saved(root), Utf16Bytes(kHead + u"<Name id=\"12\"/>\r\n"));

    // Past ASCII, and past a long run of text.
    enXml wide(std::wstring(L"N\u00e9\0 x", 5));
    wide.AddChild(new enXml(std::wstring(L"\u0416a\0<", 4)));
    wide.SetAttribute(L"v", std::wstring(5000, L'x') + std::wstring(L"\0<", 2));
    EXPECT_EQ(Saved(wide), Utf16Bytes(kHead + u"<N\u00e9 v=\"" + std::u16string(5000, u'x') +
                                      u"\">\r\n\t<\u0416a/>\r\n</N\u00e9>\r\n"));
}

TEST(MdXmlWriter, LongValuesKeepEveryEscapeAndPair) {
    // Long runs of plain text end in each kind of unit, at lengths around those
    // in which the writer copies text; a value of escapes only grows sixfold.
    const std::u16string tails[] = {u"&", u"\t", u"\U0001F3B5", u"\u00e4\"", u"\uE000<"};
    for (std::size_t run : {4094u, 4095u, 4096u, 4097u, 8191u, 12289u}) {
        enXml root(L"r");
        root.AppendAttribute(L"q", std::wstring(run, L'"'));
        for (std::size_t i = 0; i < std::size(tails); ++i)
            root.AppendAttribute(L"v" + std::to_wstring(i), std::wstring(run, L'x') + mdxml_test::Wide(tails[i]) + L"y");
        ASSERT_EQ(Saved(root), mdxml_test::ReferenceDocument(root)) << run;

        enXml loneHigh(L"r");
        loneHigh.SetAttribute(L"v", std::wstring(run, L'x') + static_cast<wchar_t>(0xD83C));
        EXPECT_TRUE(Refused(loneHigh)) << run;
        enXml loneLow(L"r");
        loneLow.SetAttribute(L"v", std::wstring(run, L'x') + static_cast<wchar_t>(0xDFB5) + L"y");
        EXPECT_TRUE(Refused(loneLow)) << run;
    }
}

TEST(MdXmlWriter, NamelessNodesFromCommentsAreLeftOut) {
    enXml root(L"root");
    root.AddChild(new enXml());
    auto* a = new enXml(L"a");
    root.AddChild(a);
    a->AddChild(new enXml());  // a's only child is nameless: a is written as empty
    root.AddChild(new enXml());
    root.AddChild(new enXml(L"b"));
    root.AddChild(new enXml());
    const std::u16string expected = kHead + u"<root>\r\n\t<a/>\r\n\t<b/>\r\n</root>\r\n";
    EXPECT_EQ(Saved(root), Utf16Bytes(expected));

    enXml onlyComments(L"c");
    onlyComments.AddChild(new enXml());
    EXPECT_EQ(Saved(onlyComments), Utf16Bytes(kHead + u"<c/>\r\n"));
}

TEST(MdXmlWriter, RefusesTreesThatWouldNotReadBack) {
    enXml nameless;
    EXPECT_TRUE(Refused(nameless));
    enXml spaced(L"Preset 1");
    EXPECT_TRUE(Refused(spaced));
    enXml digit(L"1st");
    EXPECT_TRUE(Refused(digit));
    enXml nul(std::wstring(L"\0a", 2));
    EXPECT_TRUE(Refused(nul));
    enXml times(L"a\u00d7");  // a Latin-1 letter that is no name character
    EXPECT_TRUE(Refused(times));
    enXml wideThenBad(L"\u0416<");
    EXPECT_TRUE(Refused(wideThenBad));

    {
        enXml root(L"root");
        root.SetAttribute(L"bad name", L"x");
        EXPECT_TRUE(Refused(root));
    }
    {
        enXml root(L"root");
        root.AppendAttribute(L"Value", L"1");
        root.AppendAttribute(L"Value", L"2");  // as Load twice into one node gives
        EXPECT_TRUE(Refused(root));
        enXml cased(L"root");
        cased.AppendAttribute(L"Value", L"1");
        cased.AppendAttribute(L"VALUE", L"2");  // distinct names to an XML reader
        EXPECT_FALSE(Refused(cased));
        // Names are compared up to their first NUL; many of them after sorting.
        enXml cut(L"root");
        cut.AppendAttribute(std::wstring(L"id\0a", 4), L"1");
        cut.AppendAttribute(std::wstring(L"id\0b", 4), L"2");
        EXPECT_TRUE(Refused(cut));
        enXml many(L"root");
        for (int i = 0; i < 40; ++i)
            many.AppendAttribute(L"a" + std::to_wstring(i % 39), L"1");
        EXPECT_TRUE(Refused(many));
        many.FindAttribute(L"a0")->first = L"A0";
        EXPECT_FALSE(Refused(many));
    }
    {
        enXml root(L"root");
        root.SetAttribute(L"v", std::wstring(1, static_cast<wchar_t>(0x07)));
        EXPECT_TRUE(Refused(root));
    }
    {
        enXml root(L"root");
        root.SetAttribute(L"v", std::wstring(1, static_cast<wchar_t>(0xDC00)));
        EXPECT_TRUE(Refused(root));
    }
    {
        // Deep inside, after a sibling that is fine.
        enXml root(L"root");
        auto* a = new enXml(L"a");
        root.AddChild(a);
        auto* b = new enXml(L"b");
        root.AddChild(b);
        auto* bad = new enXml(L"bad<");
        b->AddChild(new enXml(L"fine"));
        b->AddChild(bad);
        EXPECT_TRUE(Refused(root));
        b->RemoveChild(bad);
        delete bad;
        EXPECT_FALSE(Refused(root));
    }
    {
        // A nameless node that holds something cannot be left out without loss.
        enXml root(L"root");
        auto* holder = new enXml();
        holder->SetAttribute(L"a", L"1");
        root.AddChild(holder);
        EXPECT_TRUE(Refused(root));
        enXml parent(L"root");
        auto* nameless = new enXml();
        nameless->AddChild(new enXml(L"x"));
        parent.AddChild(nameless);
        EXPECT_TRUE(Refused(parent));
    }
}

TEST(MdXmlWriter, MatchesThePlainRulesOnRandomTrees) {
    mdxml_test::RandomTrees random(20240611);
    for (int i = 0; i < 200; ++i) {
        std::unique_ptr<enXml> tree = random.Tree(1 + random.Below(60), 1 + random.Below(12));
        ASSERT_EQ(Saved(*tree), mdxml_test::ReferenceDocument(*tree)) << "tree " << i;
    }
}

TEST(MdXmlWriter, WritesDeepTrees) {
    mdxml_test::RandomTrees random(7);
    const int depth = 3000;
    std::unique_ptr<enXml> chain = random.Chain(depth);
    std::string bytes;
    ASSERT_TRUE(chain->SaveToBuffer(bytes));
    // The deepest element is indented by depth - 1 tabs and is empty.
    enXml* node = chain.get();
    while (node->FirstChild())
        node = node->FirstChild();
    std::u16string deepest(static_cast<std::size_t>(depth - 1), u'\t');
    deepest += u'<';
    deepest.append(node->Name().begin(), node->Name().end());
    deepest += u" level=\"" + std::u16string(u"2999") + u"\"/>\r\n";
    EXPECT_NE(bytes.find(Utf16Bytes(deepest)), std::string::npos);
    const std::string end = Utf16Bytes(u"</" + std::u16string(chain->Name().begin(), chain->Name().end()) + u">\r\n");
    ASSERT_GE(bytes.size(), end.size());
    EXPECT_EQ(bytes.substr(bytes.size() - end.size()), end);
}
