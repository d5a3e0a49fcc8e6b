// Random edits of a forest of enXml nodes: AddChild (with and without "after"),
// RemoveChild, destruction of subtrees, attributes and lookups. After every step
// every live node's links must agree (parent pointers, tail pointer, no cycle),
// and every edit must have the documented effect. A document the writer accepts
// must read back through pugixml as the same tree.
#include "xml/enxml.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(MDXML_FUZZ_WITH_PUGIXML)
#include "pugixml_units.h"
#endif

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    unsigned Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    // Names from a small alphabet that holds valid and invalid name characters.
    std::wstring Name() {
        static const wchar_t kAlphabet[] = {L'a', L'B', L'_', L':', L'-', L'.', L'1', L' ', L'<', L'&',
                                            L'"', 0x00E9, 0x0416, 0x4E2D, 0x00B7, 0};
        std::wstring name;
        const unsigned length = Byte() % 5;
        for (unsigned i = 0; i < length; ++i)
            name.push_back(kAlphabet[Byte() % (sizeof kAlphabet / sizeof kAlphabet[0])]);
        return name;
    }

    std::wstring Value() {
        std::wstring value;
        const unsigned length = Byte() % 6;
        for (unsigned i = 0; i < length; ++i) {
            const unsigned low = Byte();
            const unsigned high = (low & 1) ? Byte() : 0;
            value.push_back(static_cast<wchar_t>(low | (high << 8)));
        }
        return value;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::vector<enXml*> Children(const enXml* node, std::size_t limit) {
    std::vector<enXml*> children;
    for (enXml* child = node->FirstChild(); child; child = child->NextSibling()) {
        children.push_back(child);
        Check(children.size() <= limit);  // a cycle in the list
    }
    return children;
}

void CheckLinks(const std::vector<enXml*>& live) {
    for (const enXml* node : live) {
        const std::vector<enXml*> children = Children(node, live.size());
        for (const enXml* child : children)
            Check(child->GetParent() == node);
        Check(node->LastChild() == (children.empty() ? nullptr : children.back()));
        std::size_t steps = 0;
        for (const enXml* up = node->GetParent(); up; up = up->GetParent())
            Check(++steps <= live.size() && up != node);
        if (!node->GetParent())
            Check(node->NextSibling() == nullptr);
    }
}

bool IsAncestorOrSelf(const enXml* candidate, const enXml* node) {
    for (; node; node = node->GetParent()) {
        if (node == candidate)
            return true;
    }
    return false;
}

void CollectSubtree(enXml* node, std::vector<enXml*>& out) {
    std::vector<enXml*> pending{node};
    while (!pending.empty()) {
        enXml* n = pending.back();
        pending.pop_back();
        out.push_back(n);
        for (enXml* child = n->FirstChild(); child; child = child->NextSibling())
            pending.push_back(child);
    }
}

#if defined(MDXML_FUZZ_WITH_PUGIXML)
using mdxml_test::Utf16Units;

std::wstring_view UpToNul(std::wstring_view text) {
    return text.substr(0, text.find(L'\0'));
}


bool Skipped(const enXml* node) {
    return UpToNul(node->Name()).empty() && node->Attributes().empty() && !node->FirstChild();
}

// The written document, parsed again, against the tree as the writer sees it.
void CheckReadsBack(const enXml& root, const std::string& bytes) {
    pugi::xml_document document;
    Check(static_cast<bool>(document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto)));
    std::vector<std::pair<const enXml*, pugi::xml_node>> pending{{&root, document.document_element()}};
    while (!pending.empty()) {
        auto [node, element] = pending.back();
        pending.pop_back();
        Check(UpToNul(node->Name()) == Utf16Units(element.name()));
        pugi::xml_attribute attribute = element.first_attribute();
        for (const enXmlAttribute& expected : node->Attributes()) {
            Check(static_cast<bool>(attribute));
            Check(UpToNul(expected.first) == Utf16Units(attribute.name()));
            Check(UpToNul(expected.second) == Utf16Units(attribute.value()));
            attribute = attribute.next_attribute();
        }
        Check(!attribute);
        pugi::xml_node child = element.first_child();
        for (const enXml* c = node->FirstChild(); c; c = c->NextSibling()) {
            if (Skipped(c))
                continue;
            Check(child.type() == pugi::node_element);
            pending.push_back({c, child});
            child = child.next_sibling();
        }
        Check(!child);
    }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    std::vector<enXml*> live;
    auto pick = [&]() -> enXml* { return live.empty() ? nullptr : live[in.Byte() % live.size()]; };

    for (int step = 0; step < 200 && !in.Empty(); ++step) {
        const unsigned op = in.Byte() % 8;
        if (op == 0 || live.size() < 2) {
            if (live.size() < 40)
                live.push_back(new enXml(in.Name()));
        } else if (op == 1) {
            enXml* parent = pick();
            enXml* child = pick();
            enXml* after = (in.Byte() & 1) ? pick() : nullptr;
            const bool refused = IsAncestorOrSelf(child, parent);
            const bool behind = after && after != child && after->GetParent() == parent;
            parent->AddChild(child, after);
            if (!refused) {
                Check(child->GetParent() == parent);
                if (behind)
                    Check(after->NextSibling() == child);
                else
                    Check(parent->LastChild() == child);
            }
        } else if (op == 2) {
            enXml* parent = pick();
            enXml* child = pick();
            const bool isChild = child->GetParent() == parent;
            const enXml* oldParent = child->GetParent();
            parent->RemoveChild(child);
            Check(child->GetParent() == (isChild ? nullptr : oldParent));
        } else if (op == 3) {
            enXml* doomed = pick();
            std::vector<enXml*> gone;
            CollectSubtree(doomed, gone);
            std::sort(gone.begin(), gone.end());
            live.erase(std::remove_if(live.begin(), live.end(),
                                      [&](enXml* n) { return std::binary_search(gone.begin(), gone.end(), n); }),
                       live.end());
            delete doomed;
        } else if (op == 4 || op == 5) {
            enXml* node = pick();
            const std::wstring name = in.Name();
            const std::wstring value = in.Value();
            const std::size_t before = node->Attributes().size();
            const bool existed = node->FindAttribute(name) != nullptr;
            if (op == 4)
                node->SetAttribute(name, value);
            else
                node->AppendAttribute(name, value);
            Check(node->Attributes().size() == before + ((op == 4 && existed) ? 0 : 1));
            std::wstring got;
            if (op == 4 || !existed) {
                Check(node->GetAttribute(name, got) && got == value);
            }
        } else if (op == 6) {
            enXml* node = pick();
            std::string bytes;
            if (node->SaveToBuffer(bytes)) {
#if defined(MDXML_FUZZ_WITH_PUGIXML)
                CheckReadsBack(*node, bytes);
#endif
            } else {
                Check(bytes.empty());
            }
        } else {
            enXml* node = pick();
            const std::wstring name = in.Name();
            const enXml* found = node->FindChild(name);
            const enXml* expected = nullptr;
            for (const enXml* child = node->FirstChild(); child && !expected; child = child->NextSibling()) {
                if (mdxml::NameEquals(child->Name(), name))
                    expected = child;
            }
            Check(found == expected);
        }
        CheckLinks(live);
    }
    std::vector<enXml*> roots;
    for (enXml* node : live) {
        if (!node->GetParent())
            roots.push_back(node);
    }
    for (enXml* root : roots)
        delete root;
    return 0;
}
