// The reader of documents in memory: what it takes and how (encodings, values,
// node kinds), what it refuses (every well-formedness rule it checks), and that
// a refusal leaves the node as it was. Files are the Windows tests' business.
#include "xml_test_support.h"

#include <gtest/gtest.h>

using mdxml_test::Describe;
using mdxml_test::Utf16Bytes;

namespace {

std::unique_ptr<enXml> Read(std::string_view bytes) {
    auto node = std::make_unique<enXml>();
    enXmlLoadError error = enXmlLoadError::None;
    if (!node->LoadFromBuffer(bytes, &error)) {
        ADD_FAILURE() << "refused (" << static_cast<int>(error) << "): " << std::string(bytes);
        return nullptr;
    }
    return node;
}

std::string Utf16BigEndian(std::u16string_view text) {
    std::string bytes = Utf16Bytes(text);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

}  // namespace

TEST(MdXmlReader, ReadsEncodingsValuesAndNodeKinds) {
    // The same document in each encoding the reader knows by itself.
    const std::u16string body = u"<r a='\u00e9\u0416\U0001F3B5'><c/></r>";
    const std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?><r a='\xE9'/>";
    const std::string inputs[] = {
        "\xEF\xBB\xBF<r a='\xC3\xA9\xD0\x96\xF0\x9F\x8E\xB5'><c/></r>",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r a='\xC3\xA9\xD0\x96\xF0\x9F\x8E\xB5'><c/></r>",
        Utf16Bytes(u"\uFEFF" + body),
        Utf16Bytes(body),
        Utf16BigEndian(u"\uFEFF" + body),
        Utf16BigEndian(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body),
    };
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        const std::unique_ptr<enXml> node = Read(input);
        ASSERT_TRUE(node);
        EXPECT_EQ(node->Name(), L"r");
        ASSERT_EQ(node->Attributes().size(), 1u);
        EXPECT_EQ(std::wstring_view(node->Attributes()[0].second), mdxml_test::Wide(u"\u00e9\u0416\U0001F3B5"));
        ASSERT_NE(node->FirstChild(), nullptr);
        EXPECT_EQ(node->FirstChild()->Name(), L"c");
    }
    const std::unique_ptr<enXml> western = Read(latin1);
    ASSERT_TRUE(western);
    EXPECT_EQ(western->Attributes()[0].second, L"\u00e9");

    // Values: literal white space becomes spaces (CR LF as one), references keep
    // theirs, a reference above U+FFFF becomes a surrogate pair, the predefined
    // entities and both quotes.
    const std::unique_ptr<enXml> values = Read(
        "<v a=\"x\ty\r\nz\rw\" b=\"&#9;&#10;&#xD;\" c=\"&#x1F3B5;&#128512;\" d=\"&lt;&gt;&amp;&quot;&apos;\""
        " e='\"' f=\"'\" g=\"\" \n h = \"1\"></v >");
    ASSERT_TRUE(values);
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"a", L"x y z w"},
        {L"b", L"\t\n\r"},
        {L"c", mdxml_test::Wide(u"\U0001F3B5\U0001F600")},
        {L"d", L"<>&\"'"},
        {L"e", L"\""},
        {L"f", L"'"},
        {L"g", L""},
        {L"h", L"1"}};
    const std::vector<std::pair<std::wstring, std::wstring>> read(values->Attributes().begin(),
                                                                  values->Attributes().end());
    EXPECT_EQ(read, expected);

    // Node kinds inside the document element; around it only the prolog's and
    // the epilog's comments, processing instructions and white space.
    const std::unique_ptr<enXml> kinds =
        Read("<?xml version='1.0' standalone='no'?><!-- c --><?pi x?>\r\n"
             "<r>\n <a/> text &amp; more <!--n--><?p?><![CDATA[<x>]]>\n\t<b>&#32;</b>\xE4\xB8\xAD</r><!--e--><?q?> ");
    ASSERT_TRUE(kinds);
    std::vector<std::wstring> names;
    for (const enXml* child = kinds->FirstChild(); child; child = child->NextSibling())
        names.push_back(child->GetName());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"", L"", L"", L"", L"b", L""}));
    EXPECT_EQ(kinds->FindChild(L"b")->GetChildCount(), 1);
}

TEST(MdXmlReader, RefusesWhatIsNotWellFormedAndLeavesTheNode) {
    const char* const refused[] = {
        "",
        "   ",
        "<!-- only a comment -->",
        "text<a/>",
        "<a/>text",
        "<a/><b/>",
        "<a>",
        "</a>",
        "<a></b>",
        "<a><b></a></b>",
        "<a b='1' b='2'/>",
        "<a b=1/>",
        "<a b='<'/>",
        "<a b='1'c='2'/>",
        "<a b/>",
        "<1a/>",
        "<a/ >",
        "< a/>",
        "<a>]]></a>",
        "<a><!-- x -- y --></a>",
        "<a><!-- x ---></a>",
        "<a><![CDATA[x]]</a>",
        "<a><?xml version='1.0'?></a>",
        "<a><?pi</a>",
        "<a>&nbsp;</a>",
        "<a>&#0;</a>",
        "<a>&#xD800;</a>",
        "<a>&#x110000;</a>",
        "<a>&#99999999999999999999;</a>",
        "<a>&#;</a>",
        "<a>&amp</a>",
        "<a>\x01</a>",
        "<a b='\x1F'/>",
        "<a>\xEF\xBF\xBE</a>",        // U+FFFE
        "<a>\xC0\xAF</a>",            // an overlong form
        "<a>\xED\xA0\x80</a>",        // an encoded surrogate
        "<a>\xF4\x90\x80\x80</a>",    // beyond U+10FFFF
        "<a>\xE4\xB8</a>",            // cut inside a sequence
        "<a></a>\xFF",
        " <?xml version='1.0'?><a/>",
        "<?xml version='1.0'?><?xml version='1.0'?><a/>",
        "<?xml encoding='UTF-8'?><a/>",
        "<?xml version='2.0'?><a/>",
        "<?xml version='1.0' standalone='maybe'?><a/>",
        "<?xml version='1.0' standalone='yes' encoding='UTF-8'?><a/>",
        "<?xml version='1.0' encoding='x-unknown'?><a/>",
        "<!DOCTYPE a><a/>",
        "<!DOCTYPE a [<!ENTITY x 'xx'>]><a>&x;</a>",
        "<!ELEMENT a ANY><a/>",
        "<a><!DOCTYPE a></a>",
    };
    enXml node(L"Keep");
    node.SetTag(9);
    node.SetAttribute(L"a", L"1");
    node.AddChild(new enXml(L"child"));
    for (const char* document : refused) {
        SCOPED_TRACE(document);
        enXmlLoadError error = enXmlLoadError::None;
        EXPECT_FALSE(node.LoadFromBuffer(document, &error));
        EXPECT_EQ(error, enXmlLoadError::NotWellFormed);
    }
    // UTF-16: a lone surrogate, an odd byte count.
    EXPECT_FALSE(node.LoadFromBuffer(Utf16Bytes(u"<a>\xD800</a>")));
    EXPECT_FALSE(node.LoadFromBuffer(Utf16Bytes(u"<a/>") + "x"));
    // Every cut of a document, in UTF-8 and in UTF-16.
    const std::u16string whole = u"<?xml version='1.0'?><r x='&#x1F3B5;'><c y=\"2\"/><!--n--><d>t</d></r>";
    const std::string utf8 = "<?xml version='1.0'?><r x='&#x1F3B5;'><c y=\"2\"/><!--n--><d>t</d></r>";
    const std::string utf16 = Utf16Bytes(u"\uFEFF" + whole);
    for (std::size_t cut = 0; cut < utf8.size(); ++cut)
        EXPECT_FALSE(node.LoadFromBuffer(std::string_view(utf8).substr(0, cut))) << "cut at " << cut;
    for (std::size_t cut = 0; cut < utf16.size() - 1; ++cut)
        EXPECT_FALSE(node.LoadFromBuffer(std::string_view(utf16).substr(0, cut))) << "cut at " << cut;

    EXPECT_EQ(node.Name(), L"Keep");
    EXPECT_EQ(node.GetTag(), 9);
    EXPECT_EQ(node.Attributes().size(), 1u);
    ASSERT_EQ(node.GetChildCount(), 1);
    ASSERT_TRUE(node.LoadFromBuffer(utf16));
    EXPECT_EQ(Describe(node.Name()), "r");
    EXPECT_EQ(node.GetChildCount(), 4);  // "child", then c, the comment and d
}
