// The tree and its lookups: child list links, moves, removal, destruction,
// case-insensitive names, attributes and their number parsers.
#include "xml_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstddef>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define TREE_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREE_TEST_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(TREE_TEST_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace {

std::vector<std::wstring> ChildNames(const enXml& node) {
    std::vector<std::wstring> names;
    for (const enXml* child = node.FirstChild(); child; child = child->NextSibling())
        names.push_back(child->GetName());
    return names;
}

// Walks the list and checks the parent pointers and the tail pointer agree with it.
void ExpectConsistent(const enXml& node) {
    const enXml* last = nullptr;
    for (const enXml* child = node.FirstChild(); child; child = child->NextSibling()) {
        EXPECT_EQ(child->GetParent(), &node);
        last = child;
    }
    EXPECT_EQ(node.LastChild(), last);
}

using Names = std::vector<std::wstring>;

}  // namespace

TEST(MdXmlTree, AddChildAppendsOrInsertsBehindASibling) {
    enXml root(L"root");
    auto* a = new enXml(L"a");
    auto* b = new enXml(L"b");
    auto* c = new enXml(L"c");
    auto* d = new enXml(L"d");
    auto* e = new enXml(L"e");
    root.AddChild(a);            // the only child: first and last
    root.AddChild(c);            // appended
    root.AddChild(b, a);         // behind a, in the middle
    root.AddChild(d, c);         // behind the last: becomes last
    EXPECT_EQ(ChildNames(root), (Names{L"a", L"b", L"c", L"d"}));
    ExpectConsistent(root);
    root.AddChild(e);            // appending uses the tail moved by the insert
    EXPECT_EQ(ChildNames(root), (Names{L"a", L"b", L"c", L"d", L"e"}));
    ExpectConsistent(root);
    EXPECT_EQ(root.GetChildCount(), 5);
    root.AddChild(nullptr);      // ignored
    root.AddChild(nullptr, a);
    EXPECT_EQ(root.GetChildCount(), 5);
}

TEST(MdXmlTree, AddChildAfterANodeThatIsNoChildAppends) {
    enXml root(L"root");
    enXml other(L"other");
    auto* stranger = new enXml(L"stranger");
    other.AddChild(stranger);
    auto* a = new enXml(L"a");
    auto* b = new enXml(L"b");
    root.AddChild(a);
    root.AddChild(b, stranger);
    enXml loose(L"loose");
    auto* c = new enXml(L"c");
    root.AddChild(c, &loose);
    EXPECT_EQ(ChildNames(root), (Names{L"a", L"b", L"c"}));
    EXPECT_EQ(ChildNames(other), (Names{L"stranger"}));
    ExpectConsistent(root);
}

TEST(MdXmlTree, AddChildMovesANodeFromItsParentOrWithinTheList) {
    enXml from(L"from");
    enXml to(L"to");
    auto* x = new enXml(L"x");
    auto* y = new enXml(L"y");
    auto* z = new enXml(L"z");
    from.AddChild(x);
    from.AddChild(y);
    from.AddChild(z);
    to.AddChild(z);  // the last of `from` moves: its tail must move back to y
    EXPECT_EQ(ChildNames(from), (Names{L"x", L"y"}));
    EXPECT_EQ(ChildNames(to), (Names{L"z"}));
    ExpectConsistent(from);
    ExpectConsistent(to);
    from.AddChild(new enXml(L"w"));
    EXPECT_EQ(ChildNames(from), (Names{L"x", L"y", L"w"}));

    from.AddChild(x, y);  // within the same list: taken out, then put behind y
    EXPECT_EQ(ChildNames(from), (Names{L"y", L"x", L"w"}));
    ExpectConsistent(from);
    from.AddChild(y, y);  // behind itself: no longer a child once removed, so appended
    EXPECT_EQ(ChildNames(from), (Names{L"x", L"w", L"y"}));
    ExpectConsistent(from);
}

TEST(MdXmlTree, AddChildRefusesToMakeACycle) {
    enXml root(L"root");
    auto* child = new enXml(L"child");
    auto* grandchild = new enXml(L"grandchild");
    root.AddChild(child);
    child->AddChild(grandchild);
    grandchild->AddChild(&root);
    grandchild->AddChild(child);
    child->AddChild(child);
    EXPECT_EQ(root.GetParent(), nullptr);
    EXPECT_EQ(child->GetParent(), &root);
    EXPECT_EQ(grandchild->FirstChild(), nullptr);
    EXPECT_EQ(ChildNames(root), (Names{L"child"}));
    EXPECT_EQ(ChildNames(*child), (Names{L"grandchild"}));
}

TEST(MdXmlTree, RemoveChildUnlinksFirstMiddleLastAndIgnoresStrangers) {
    enXml root(L"root");
    std::vector<std::unique_ptr<enXml>> removed;
    enXml* nodes[4];
    for (int i = 0; i < 4; ++i) {
        nodes[i] = new enXml(std::wstring(1, static_cast<wchar_t>(L'a' + i)));
        root.AddChild(nodes[i]);
    }
    root.RemoveChild(nodes[1]);
    removed.emplace_back(nodes[1]);
    EXPECT_EQ(ChildNames(root), (Names{L"a", L"c", L"d"}));
    EXPECT_EQ(nodes[1]->GetParent(), nullptr);
    EXPECT_EQ(nodes[1]->NextSibling(), nullptr);
    root.RemoveChild(nodes[3]);
    removed.emplace_back(nodes[3]);
    ExpectConsistent(root);
    root.AddChild(new enXml(L"e"));  // appended behind the new tail c
    EXPECT_EQ(ChildNames(root), (Names{L"a", L"c", L"e"}));
    root.RemoveChild(nodes[0]);
    removed.emplace_back(nodes[0]);
    EXPECT_EQ(ChildNames(root), (Names{L"c", L"e"}));
    ExpectConsistent(root);

    enXml other(L"other");
    root.RemoveChild(&other);
    root.RemoveChild(nullptr);
    root.RemoveChild(&root);
    nodes[2]->RemoveChild(nodes[2]);
    EXPECT_EQ(ChildNames(root), (Names{L"c", L"e"}));

    while (enXml* child = root.FirstChild()) {
        root.RemoveChild(child);
        removed.emplace_back(child);
    }
    EXPECT_EQ(root.FirstChild(), nullptr);
    EXPECT_EQ(root.LastChild(), nullptr);
    root.AddChild(new enXml(L"again"));
    EXPECT_EQ(ChildNames(root), (Names{L"again"}));
    ExpectConsistent(root);
}

TEST(MdXmlTree, DestroyingANodeDetachesItAndItsSubtree) {
    enXml root(L"root");
    auto* keep = new enXml(L"keep");
    auto* doomed = new enXml(L"doomed");
    auto* last = new enXml(L"last");
    root.AddChild(keep);
    root.AddChild(doomed);
    root.AddChild(last);
    for (int i = 0; i < 3; ++i) {
        auto* child = new enXml(L"inner");
        doomed->AddChild(child);
        child->AddChild(new enXml(L"leaf"));
    }
    delete doomed;  // the sanitizer builds report any node left behind
    EXPECT_EQ(ChildNames(root), (Names{L"keep", L"last"}));
    ExpectConsistent(root);
    delete last;
    ExpectConsistent(root);
    root.AddChild(new enXml(L"tail"));
    EXPECT_EQ(ChildNames(root), (Names{L"keep", L"tail"}));
}

TEST(MdXmlTree, VeryDeepAndVeryWideTreesAreDestroyedWithoutRecursion) {
    auto deep = std::make_unique<enXml>(L"deep");
    enXml* node = deep.get();
    for (int i = 0; i < 300000; ++i) {
        auto* child = new enXml(L"n");
        node->AddChild(child);
        if (i % 3 == 0)
            node->AddChild(new enXml(L"side"));
        node = child;
    }
    deep.reset();

    enXml wide(L"wide");
    for (int i = 0; i < 100000; ++i)
        wide.AddChild(new enXml(L"w"));
    EXPECT_EQ(wide.GetChildCount(), 100000);
}

TEST(MdXmlTree, NewNodesHaveTagZeroAndTheTagIsKept) {
    enXml empty;
    EXPECT_EQ(empty.GetName(), L"");
    EXPECT_EQ(empty.GetTag(), 0);
    enXml named(L"Name");
    EXPECT_EQ(named.GetTag(), 0);
    named.SetTag(-7);
    EXPECT_EQ(named.GetTag(), -7);
}

// The tree memory on its own: blocks of every size are aligned and distinct;
// once all blocks of some sizes are back, their memory serves other sizes
// without disturbing blocks still held; larger and over-aligned blocks too.
// The pool hands a block given back out again for the next of its size; under
// the address sanitizer (no pool) a byte past a block and a block given back
// are out of bounds.
TEST(MdXmlTree, TreeMemoryHandsOutDistinctBlocksAndReusesWhatCameBack) {
    std::pmr::memory_resource* memory = mdxml::TreeMemory();
    struct Held {
        unsigned char* at;
        std::size_t size;
        std::size_t alignment;
        unsigned char mark;
    };
    std::vector<Held> held;
    auto take = [&](std::size_t size, std::size_t alignment) {
        auto* at = static_cast<unsigned char*>(memory->allocate(size, alignment));
        const auto mark = static_cast<unsigned char>(held.size() * 7 + 1);
        std::fill(at, at + size, mark);
        held.push_back({at, size, alignment, mark});
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(at) % alignment, 0u) << size << " " << alignment;
#if defined(TREE_TEST_ADDRESS_SANITIZER)
        EXPECT_TRUE(__asan_address_is_poisoned(at + size)) << size;
#endif
    };
    auto intact = [&] {
        for (const Held& h : held)
            if (!std::all_of(h.at, h.at + h.size, [&](unsigned char c) { return c == h.mark; }))
                return false;
        return true;
    };
    // Enough small blocks to fill many slabs, some sizes interleaved with a
    // size that stays, then large and over-aligned ones.
    for (int round = 0; round < 3000; ++round) {
        take(static_cast<std::size_t>(round % 33) * 16 + 1, alignof(std::max_align_t));
        take(40, 8);
    }
    take(513, 16);
    take(100000, 8);
    for (int i = 0; i < 8; ++i)
        take(48, 64);
    ASSERT_TRUE(intact());
    // Give back everything but the 40-byte blocks and the first block of each
    // size (a slab with one block still held is not empty); take other sizes.
    std::vector<Held> kept;
    for (const Held& h : held) {
        if (h.size == 40 || &h - held.data() < 66)
            kept.push_back(h);
        else
            memory->deallocate(h.at, h.size, h.alignment);
    }
    held = kept;
    for (int round = 0; round < 3000; ++round)
        take(static_cast<std::size_t>(round % 7) * 64 + 8, 8);
    EXPECT_TRUE(intact());
    void* returned = memory->allocate(40, 8);
    memory->deallocate(returned, 40, 8);
    void* next = memory->allocate(40, 8);
#if defined(TREE_TEST_ADDRESS_SANITIZER)
    EXPECT_NE(next, returned);
    EXPECT_TRUE(__asan_address_is_poisoned(returned));
#else
    EXPECT_EQ(next, returned);
#endif
    memory->deallocate(next, 40, 8);
    for (const Held& h : held)
        memory->deallocate(h.at, h.size, h.alignment);
}

// Trees built, changed and destroyed on several threads at once: every string
// of every size (empty, each small size class, beyond the pooled sizes) keeps
// its units while other threads take and give back the same memory.
TEST(MdXmlTree, TreesOnSeveralThreadsKeepTheirStrings) {
    auto work = [](int seed, bool* ok) {
        for (int round = 0; round < 40 && *ok; ++round) {
            auto root = std::make_unique<enXml>(L"Root");
            for (int i = 0; i < 200; ++i) {
                const std::size_t length = static_cast<std::size_t>((seed * 131 + round * 17 + i * 7) % 700);
                auto* child = new enXml(std::wstring(length % 40, static_cast<wchar_t>(L'a' + i % 26)));
                child->SetAttribute(L"v", std::wstring(length, static_cast<wchar_t>(L'A' + (seed + i) % 26)));
                root->AddChild(child);
                if (i % 3 == 0)
                    delete root->FirstChild();  // gives memory back while more is taken
            }
            int i = 0;
            for (const enXml* child = root->FirstChild(); child; child = child->NextSibling(), ++i) {
                const enXmlString& value = child->FindAttribute(L"v")->second;
                *ok = *ok && value.size() % 40 == child->Name().size() &&
                      std::all_of(value.begin(), value.end(), [&](wchar_t c) { return c == value[0]; }) &&
                      std::all_of(child->Name().begin(), child->Name().end(),
                                  [&](wchar_t c) { return c == child->Name()[0]; });
            }
            *ok = *ok && i == 200 - 67;
        }
    };
    bool ok[4] = {true, true, true, true};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(work, t, &ok[t]);
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_TRUE(ok[t]) << "thread " << t;
}

TEST(MdXmlLookup, FindChildIgnoresAsciiCaseAndTheFirstMatchWins) {
    enXml root(L"SKIN_MM");
    root.AddChild(new enXml());  // a nameless node (from a comment) is passed over
    auto* first = new enXml(L"MainFrame");
    auto* second = new enXml(L"MAINFRAME");
    root.AddChild(first);
    root.AddChild(second);
    EXPECT_EQ(root.FindChild(L"mainframe"), first);
    EXPECT_EQ(root.FindChild(L"MAINFRAME"), first);
    EXPECT_EQ(root.FindChild(L"MainFrame "), nullptr);
    EXPECT_EQ(root.FindChild(L"Main"), nullptr);
    EXPECT_EQ(root.FindChild(L"Panels"), nullptr);
    // As the C runtime's compare in the "C" locale: only ASCII letters fold.
    auto* umlaut = new enXml(L"\u00c4rger");
    root.AddChild(umlaut);
    EXPECT_EQ(root.FindChild(L"\u00c4RGER"), umlaut);
    EXPECT_EQ(root.FindChild(L"\u00e4rger"), nullptr);
    EXPECT_TRUE(mdxml::NameEquals(L"[@`{", L"[@`{"));
    EXPECT_FALSE(mdxml::NameEquals(L"[", L"{"));  // 0x5B and 0x7B differ by 0x20 but are no letters
    EXPECT_FALSE(mdxml::NameEquals(L"@", L"`"));
}

TEST(MdXmlLookup, AttributesMatchIgnoringCaseAndKeepTheirOrder) {
    enXml node(L"Button");
    node.SetAttribute(L"Owner", L"FramePanelUp");
    node.SetAttribute(L"Source", L"play.bmp");
    node.SetAttribute(L"OWNER", L"FramePanelDown");  // replaces; the stored name keeps its case
    node.SetAttribute(L"type", L"Round");
    ASSERT_EQ(node.Attributes().size(), 3u);
    EXPECT_EQ(node.Attributes()[0], (enXmlAttribute{L"Owner", L"FramePanelDown"}));
    EXPECT_EQ(node.Attributes()[1], (enXmlAttribute{L"Source", L"play.bmp"}));
    EXPECT_EQ(node.Attributes()[2], (enXmlAttribute{L"type", L"Round"}));

    // Duplicates (as a document may hold): the first wins for lookups and for SetAttribute.
    node.AppendAttribute(L"Type", L"Vertical");
    ASSERT_NE(node.FindAttribute(L"TYPE"), nullptr);
    EXPECT_EQ(node.FindAttribute(L"TYPE")->second, L"Round");
    node.SetAttribute(L"Type", L"Horizontal");
    EXPECT_EQ(node.Attributes()[2].second, L"Horizontal");
    EXPECT_EQ(node.Attributes()[3].second, L"Vertical");

    std::wstring text = L"unchanged";
    EXPECT_FALSE(node.GetAttribute(L"Caption", text));
    EXPECT_EQ(text, L"unchanged");
    EXPECT_TRUE(node.GetAttribute(L"source", text));
    EXPECT_EQ(text, L"play.bmp");
    EXPECT_EQ(node.FindAttribute(L"Sourc"), nullptr);

    node.SetAttribute(L"Empty", L"");
    EXPECT_TRUE(node.GetAttribute(L"empty", text));
    EXPECT_EQ(text, L"");
}

TEST(MdXmlNumbers, IntegersParseAsTheCRuntimeDoes) {
    enXml node(L"Band1");
    std::int32_t value = 12345;
    EXPECT_FALSE(node.GetAttributeInt(L"Value", value));
    EXPECT_EQ(value, 12345);

    struct Case {
        const wchar_t* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {L"100", 100},
        {L"  -17x", -17},
        {L"\t\r\n\v\f+42", 42},
        {L"abc", 0},
        {L"", 0},
        {L"-", 0},
        {L"- 5", 0},
        {L"007", 7},
        {L"3.9", 3},
        {L"2147483647", 2147483647},
        {L"2147483648", 2147483647},
        {L"99999999999999999999999", 2147483647},
        {L"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {L"-2147483649", std::numeric_limits<std::int32_t>::min()},
        {L"\u0663", 0},      // only ASCII digits count
        {L"\u00a012", 0},    // a no-break space is not white space here
        {L"12\u0663", 12},
    };
    for (const Case& c : cases) {
        node.SetAttribute(L"Value", c.text);
        value = 12345;
        EXPECT_TRUE(node.GetAttributeInt(L"value", value)) << mdxml::ParseInt(c.text);
        EXPECT_EQ(value, c.expected) << "text \"" << mdxml_test::Describe(c.text) << "\"";
    }
}

TEST(MdXmlNumbers, FloatsParseAsTheCRuntimeDoes) {
    enXml node(L"RoomWidth");
    float value = 9.0f;
    EXPECT_FALSE(node.GetAttributeFloat(L"Value", value));
    EXPECT_EQ(value, 9.0f);

    struct Case {
        std::wstring text;
        float expected;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {L"2.5", 2.5f},
        {L"abc", 0.0f},
        {L"", 0.0f},
        {L" \t-1.5e2xyz", -150.0f},
        {L"+.5", 0.5f},
        {L"5.", 5.0f},
        {L"2,5", 2.0f},
        {L"--2", 0.0f},
        {L"-+2", 0.0f},           // the decimal point is '.' whatever the locale
        {L"1e", 1.0f},
        {L"1e+", 1.0f},
        {L"0.000001", 0.000001f},
        {L"3.4028235e38", std::numeric_limits<float>::max()},
        {L"1e39", inf},           // beyond float, still a double
        {L"1e999", inf},          // beyond double
        {L"-1e999", -inf},
        {L"1e-999", 0.0f},
        {L"0.00000e99999", 0.0f},
        {L"0x1p3", 8.0f},
        {L"0x.8", 0.5f},
        {L"0x", 0.0f},
        {L"-0x10", -16.0f},
        {L"0x1p99999", inf},
        {L"0x1p-99999", 0.0f},
        {L"INF", inf},
        {L"-Infinity", -inf},
        {L"2\u0660", 2.0f},       // a character outside ASCII ends the number
        {L"\u20ac5", 0.0f},
        {L"1" + std::wstring(120, L'0') + L"e-100", inf},  // only 99 characters are read: 1e98, not 1e20
    };
    for (const Case& c : cases) {
        node.SetAttribute(L"Value", c.text);
        value = 9.0f;
        EXPECT_TRUE(node.GetAttributeFloat(L"VALUE", value));
        EXPECT_EQ(value, c.expected) << "text \"" << mdxml_test::Describe(c.text) << "\"";
    }
    // Only the first 99 characters count: a digit at position 100 is not read.
    EXPECT_EQ(mdxml::ParseFloat(std::wstring(98, L'0') + L"12"), 1.0f);
    EXPECT_EQ(mdxml::ParseFloat(std::wstring(97, L'0') + L"12"), 12.0f);
    EXPECT_TRUE(std::isnan(mdxml::ParseFloat(L"nan")));
    EXPECT_TRUE(std::isnan(mdxml::ParseFloat(L"-NaN(123)")));
    EXPECT_TRUE(std::signbit(mdxml::ParseFloat(L"-0")));
    EXPECT_FALSE(std::signbit(mdxml::ParseFloat(L"-")));     // no number: plain 0
    EXPECT_FALSE(std::signbit(mdxml::ParseFloat(L"-abc")));
}

TEST(MdXmlNames, XmlNamesAndCharacters) {
    EXPECT_TRUE(mdxml::IsXmlName(L"SKIN_MM"));
    EXPECT_TRUE(mdxml::IsXmlName(L"_a-b.c9"));
    EXPECT_TRUE(mdxml::IsXmlName(L"ns:name"));
    EXPECT_TRUE(mdxml::IsXmlName(L"\u0416\u0443\u043a"));
    EXPECT_TRUE(mdxml::IsXmlName(L"\u4e2d\u6587"));
    EXPECT_TRUE(mdxml::IsXmlName(L"a\u00b7"));
    EXPECT_TRUE(mdxml::IsXmlName(std::wstring{static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xDC00)}));
    EXPECT_FALSE(mdxml::IsXmlName(L""));
    EXPECT_FALSE(mdxml::IsXmlName(L"9lives"));
    EXPECT_FALSE(mdxml::IsXmlName(L"-a"));
    EXPECT_FALSE(mdxml::IsXmlName(L".a"));
    EXPECT_FALSE(mdxml::IsXmlName(L"Preset 1"));
    EXPECT_FALSE(mdxml::IsXmlName(L"a<b"));
    EXPECT_FALSE(mdxml::IsXmlName(L"a=b"));
    EXPECT_FALSE(mdxml::IsXmlName(L"a\"b"));
    EXPECT_FALSE(mdxml::IsXmlName(L"\u00b7a"));
    EXPECT_FALSE(mdxml::IsXmlName(std::wstring{L'a', static_cast<wchar_t>(0xD800)}));

    EXPECT_TRUE(mdxml::IsXmlText(L""));
    EXPECT_TRUE(mdxml::IsXmlText(L"\t\r\n <>&\"' \u00e4\uFFFD\uE000"));
    EXPECT_TRUE(mdxml::IsXmlText(std::wstring{static_cast<wchar_t>(0xDBFF), static_cast<wchar_t>(0xDFFF)}));
    EXPECT_FALSE(mdxml::IsXmlText(std::wstring(1, static_cast<wchar_t>(0x01))));
    EXPECT_FALSE(mdxml::IsXmlText(std::wstring(1, static_cast<wchar_t>(0x1F))));
    EXPECT_FALSE(mdxml::IsXmlText(L"\uFFFE"));
    EXPECT_FALSE(mdxml::IsXmlText(L"\uFFFF"));
    EXPECT_FALSE(mdxml::IsXmlText(std::wstring{static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0xD800)}));
    EXPECT_FALSE(mdxml::IsXmlText(std::wstring{L'x', static_cast<wchar_t>(0xD800)}));
}
