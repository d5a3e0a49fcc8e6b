// The writer's documents read back by an independent XML parser and by our
// reader: random trees with every escaped character, white space, non-ASCII and
// deep nesting come back as the same tree.
#include "xml_test_support.h"

#include <gtest/gtest.h>
#include "pugixml_units.h"

namespace {

using mdxml_test::Utf16Units;


// The parsed document as an enXml tree, elements only.
std::unique_ptr<enXml> FromPugi(const pugi::xml_node& element) {
    auto root = std::make_unique<enXml>(Utf16Units(element.name()));
    std::vector<std::pair<pugi::xml_node, enXml*>> pending{{element, root.get()}};
    while (!pending.empty()) {
        auto [source, target] = pending.back();
        pending.pop_back();
        for (pugi::xml_attribute a : source.attributes())
            target->AppendAttribute(Utf16Units(a.name()), Utf16Units(a.value()));
        for (pugi::xml_node child : source.children()) {
            if (child.type() != pugi::node_element)
                continue;
            auto* node = new enXml(Utf16Units(child.name()));
            target->AddChild(node);
            pending.push_back({child, node});
        }
    }
    return root;
}

void ExpectReadsBack(const enXml& tree) {
    std::string bytes;
    ASSERT_TRUE(tree.SaveToBuffer(bytes));
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration, pugi::encoding_auto);
    ASSERT_TRUE(parsed) << parsed.description() << " at byte " << parsed.offset;
    EXPECT_EQ(parsed.encoding, pugi::encoding_utf16_le);
    const pugi::xml_node declaration = document.first_child();
    ASSERT_EQ(declaration.type(), pugi::node_declaration);
    EXPECT_STREQ(declaration.attribute("encoding").value(), "UTF-16");
    EXPECT_STREQ(declaration.attribute("standalone").value(), "yes");
    std::unique_ptr<enXml> back = FromPugi(document.document_element());
    EXPECT_EQ(mdxml_test::Difference(tree, *back), "");
    enXml ours;
    ASSERT_TRUE(ours.LoadFromBuffer(bytes));
    EXPECT_EQ(mdxml_test::Difference(tree, ours), "");
}

}  // namespace

TEST(MdXmlPugixml, RandomTreesReadBackUnchanged) {
    mdxml_test::RandomTrees random(1234567);
    for (int i = 0; i < 300; ++i) {
        std::unique_ptr<enXml> tree = random.Tree(1 + random.Below(80), 1 + random.Below(16));
        SCOPED_TRACE("tree " + std::to_string(i));
        ExpectReadsBack(*tree);
    }
}

TEST(MdXmlPugixml, DeepChainReadsBackUnchanged) {
    mdxml_test::RandomTrees random(99);
    std::unique_ptr<enXml> chain = random.Chain(1000);
    ExpectReadsBack(*chain);
}

TEST(MdXmlPugixml, EveryEscapedCharacterAloneAndTogether) {
    enXml root(L"root");
    const wchar_t* values[] = {L"&", L"<", L">", L"\"", L"'", L"\t", L"\n", L"\r", L"\r\n", L" lead", L"trail ",
                               L"&lt;", L"&#38;", L"<![CDATA[x]]>", L"<!-- c -->", L""};
    int n = 0;
    for (const wchar_t* value : values)
        root.SetAttribute(L"a" + std::to_wstring(n++), value);
    std::wstring all;
    for (const wchar_t* value : values)
        all += value;
    root.SetAttribute(L"all", all);
    ExpectReadsBack(root);
}
