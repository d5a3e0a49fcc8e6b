// Any bytes as a document for the reader: it must answer without crashing or
// hanging. A document it takes must be written by the writer and read back as
// the same bytes, and an independent parser (pugixml) must take it too and see
// the same elements with the same attributes in the same order.
#include "xml/enxml.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(MDXML_FUZZ_WITH_PUGIXML)
#include "pugixml_units.h"
#endif

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

#if defined(MDXML_FUZZ_WITH_PUGIXML)
using mdxml_test::Utf16Units;

pugi::xml_node NextElement(pugi::xml_node node) {
    while (node && node.type() != pugi::node_element)
        node = node.next_sibling();
    return node;
}

void CheckAgainstPugixml(const enXml& root, std::string_view bytes) {
    pugi::xml_document document;
    Check(static_cast<bool>(document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto)));
    std::vector<std::pair<const enXml*, pugi::xml_node>> pending{{&root, document.document_element()}};
    while (!pending.empty()) {
        auto [node, element] = pending.back();
        pending.pop_back();
        Check(std::wstring_view(node->Name()) == Utf16Units(element.name()));
        pugi::xml_attribute attribute = element.first_attribute();
        for (const enXmlAttribute& expected : node->Attributes()) {
            Check(attribute && std::wstring_view(expected.first) == Utf16Units(attribute.name()) &&
                  std::wstring_view(expected.second) == Utf16Units(attribute.value()));
            attribute = attribute.next_attribute();
        }
        Check(!attribute);
        pugi::xml_node child = NextElement(element.first_child());
        for (const enXml* c = node->FirstChild(); c; c = c->NextSibling()) {
            if (c->Name().empty())
                continue;  // text, comments and the like
            Check(static_cast<bool>(child));
            pending.push_back({c, child});
            child = NextElement(child.next_sibling());
        }
        Check(!child);
    }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    enXml node;
    if (!node.LoadFromBuffer(bytes))
        return 0;
    std::string written;
    Check(node.SaveToBuffer(written));
    enXml again;
    Check(again.LoadFromBuffer(written));
    std::string writtenAgain;
    Check(again.SaveToBuffer(writtenAgain) && writtenAgain == written);
#if defined(MDXML_FUZZ_WITH_PUGIXML)
    // Where both tell the encoding the same way: a byte-order mark, or UTF-8 by default.
    const bool marked = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF) ||
                                      (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF));
    if (marked || (mdxml::DetectEncoding(bytes) == mdxml::TextEncoding::Utf8 && bytes.find('\0') == bytes.npos))
        CheckAgainstPugixml(node, bytes);
#endif
    return 0;
}
