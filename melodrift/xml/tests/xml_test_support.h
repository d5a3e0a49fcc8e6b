// Helpers of the XML tests: random trees, tree comparison, an independent
// reference of the writer's output, UTF-16 byte strings.
#pragma once

#include "xml/enxml.h"

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace mdxml_test {

// UTF-16LE bytes of a text given as UTF-16 code units.
inline std::string Utf16Bytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    return bytes;
}

inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

// A short, readable description of where two trees differ; empty when they match.
inline std::string Describe(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text) {
        const unsigned long u = static_cast<unsigned long>(c);
        if (u >= 0x20 && u < 0x7F) {
            out.push_back(static_cast<char>(u));
        } else {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\u%04lx", u);
            out += buffer;
        }
    }
    return out;
}

inline std::string Difference(const enXml& a, const enXml& b) {
    struct Pair {
        const enXml* a;
        const enXml* b;
        std::string path;
    };
    std::vector<Pair> pending{{&a, &b, "/"}};
    while (!pending.empty()) {
        Pair p = pending.back();
        pending.pop_back();
        const std::string where = p.path + Describe(p.a->Name());
        if (p.a->Name() != p.b->Name())
            return where + ": name differs from " + Describe(p.b->Name());
        if (p.a->Attributes() != p.b->Attributes()) {
            const auto& x = p.a->Attributes();
            const auto& y = p.b->Attributes();
            if (x.size() != y.size())
                return where + ": " + std::to_string(x.size()) + " attributes against " + std::to_string(y.size());
            for (std::size_t i = 0; i < x.size(); ++i) {
                if (x[i] != y[i])
                    return where + ": attribute " + Describe(x[i].first) + "=\"" + Describe(x[i].second) +
                           "\" against " + Describe(y[i].first) + "=\"" + Describe(y[i].second) + "\"";
            }
        }
        if (p.a->GetChildCount() != p.b->GetChildCount())
            return where + ": " + std::to_string(p.a->GetChildCount()) + " children against " +
                   std::to_string(p.b->GetChildCount());
        const enXml* ca = p.a->FirstChild();
        const enXml* cb = p.b->FirstChild();
        int index = 0;
        for (; ca && cb; ca = ca->NextSibling(), cb = cb->NextSibling(), ++index)
            pending.push_back({ca, cb, where + "[" + std::to_string(index) + "]/"});
    }
    return {};
}

class RandomTrees {
public:
    explicit RandomTrees(std::uint32_t seed) : m_rng(seed) {}

    int Below(int n) { return static_cast<int>(m_rng() % static_cast<std::uint32_t>(n)); }

    // Letters that are name characters under every edition of XML 1.0: ASCII,
    // Latin-1, Cyrillic, CJK; no colon (namespaces) and never an "xml" start.
    std::wstring Name() {
        static const char16_t kStart[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\u00e9\u00c4\u00f8\u0436\u0416\u044f\u4e2d\u6587\u03b1";
        static const char16_t kMore[] = u"abcXYZ019-._\u00e9\u0436\u4e2d\u00b7";
        std::wstring name;
        do {
            name.assign(1, static_cast<wchar_t>(kStart[Below(static_cast<int>(std::size(kStart)) - 1)]));
            const int length = Below(8);
            for (int i = 0; i < length; ++i)
                name.push_back(static_cast<wchar_t>(kMore[Below(static_cast<int>(std::size(kMore)) - 1)]));
        } while (name.size() >= 3 && mdxml::NameEquals(name.substr(0, 3), L"xml"));
        return name;
    }

    // Every character the writer escapes, white space that a reader would
    // normalise, non-ASCII from several planes (a surrogate pair among them).
    std::wstring Value() {
        static const std::u16string kPieces[] = {
            u"&", u"<", u">", u"\"", u"'", u"\t", u"\n", u"\r", u"\r\n", u" ", u"  ", u"a", u"Z", u"7", u"-1.5",
            u"&amp;", u"]]>", u"\u00e4\u00f6\u00fc", u"\u0416\u0443\u043a", u"\u4e2d\u6587", u"\U0001F3B5",
            u"\u20ac", u"\uFFFD", u"\uE000", u"%", u"#", u"\\", u"=", u"/>"};
        std::wstring value;
        const int count = Below(7);
        for (int i = 0; i < count; ++i) {
            const std::u16string& piece = kPieces[Below(static_cast<int>(std::size(kPieces)))];
            value.append(piece.begin(), piece.end());
        }
        return value;
    }

    void AddAttributes(enXml& node) {
        const int count = Below(5);
        for (int i = 0; i < count; ++i) {
            const std::wstring name = Name();
            if (!node.FindAttribute(name))
                node.SetAttribute(name, Value());
        }
    }

    // A tree of about `nodes` elements with fan-out and depth chosen at random.
    std::unique_ptr<enXml> Tree(int nodes, int maxDepth) {
        auto root = std::make_unique<enXml>(Name());
        AddAttributes(*root);
        std::vector<std::pair<enXml*, int>> open{{root.get(), 0}};
        for (int i = 1; i < nodes; ++i) {
            auto [parent, depth] = open[static_cast<std::size_t>(Below(static_cast<int>(open.size())))];
            auto* child = new enXml(Name());
            AddAttributes(*child);
            parent->AddChild(child);
            if (depth + 1 < maxDepth)
                open.push_back({child, depth + 1});
        }
        return root;
    }

    // A chain `depth` elements deep, each with one attribute.
    std::unique_ptr<enXml> Chain(int depth) {
        auto root = std::make_unique<enXml>(Name());
        enXml* node = root.get();
        for (int i = 1; i < depth; ++i) {
            auto* child = new enXml(Name());
            child->SetAttribute(L"level", std::to_wstring(i));
            node->AddChild(child);
            node = child;
        }
        return root;
    }

private:
    std::mt19937 m_rng;
};

// The writer's rules, written out plainly and recursively, for comparison with
// the product's writer on trees of moderate depth (names and values as built by
// RandomTrees, without NUL and without nameless nodes).
inline void ReferenceElement(const enXml& node, int depth, std::u16string& out) {
    auto escaped = [&out](std::wstring_view text) {
        for (wchar_t c : text) {
            switch (c) {
            case L'&': out += u"&amp;"; break;
            case L'<': out += u"&lt;"; break;
            case L'>': out += u"&gt;"; break;
            case L'"': out += u"&quot;"; break;
            case L'\'': out += u"&apos;"; break;
            case L'\t': out += u"&#9;"; break;
            case L'\n': out += u"&#10;"; break;
            case L'\r': out += u"&#13;"; break;
            default: out += static_cast<char16_t>(c); break;
            }
        }
    };
    out.append(static_cast<std::size_t>(depth), u'\t');
    out += u'<';
    out.append(node.Name().begin(), node.Name().end());
    for (const enXmlAttribute& attribute : node.Attributes()) {
        out += u' ';
        escaped(attribute.first);
        out += u"=\"";
        escaped(attribute.second);
        out += u'"';
    }
    if (node.FirstChild()) {
        out += u">\r\n";
        for (const enXml* child = node.FirstChild(); child; child = child->NextSibling())
            ReferenceElement(*child, depth + 1, out);
        out.append(static_cast<std::size_t>(depth), u'\t');
        out += u"</";
        out.append(node.Name().begin(), node.Name().end());
        out += u'>';
    } else {
        out += u"/>";
    }
    out += u"\r\n";
}

inline std::string ReferenceDocument(const enXml& root) {
    std::u16string text = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>\r\n";
    ReferenceElement(root, 0, text);
    return Utf16Bytes(text);
}

}  // namespace mdxml_test
