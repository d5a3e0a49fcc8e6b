// Tests of the platform-neutral framework pieces (run natively and under Wine).
#include "fw/array.h"
#include "fw/singleton.h"
#include "fw/strutil.h"
#include "fw/textfile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

namespace fs = std::filesystem;

namespace {
struct Engine : CSingleton<Engine> {};

std::wstring Widen(const std::string& s) {
    std::wstring w;
    for (char c : s) w.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return w;
}

// The formats below are compared against the C library on purpose.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif

// Formats the same narrow format with the C library and with fw::Format.
template <class... A>
void ExpectLikeC(const char* format, A... args) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, format, args...);
    std::wstring wideFormat = Widen(format);
    EXPECT_EQ(fw::Format(wideFormat.c_str(), args...), Widen(buf)) << "format: " << format;
}

// The same for one string argument: narrow to the C library, wide to ours.
void ExpectStringLikeC(const char* format, const char* arg) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, format, arg);
    std::wstring wideFormat = Widen(format);
    std::wstring wideArg = Widen(arg);
    EXPECT_EQ(fw::Format(wideFormat.c_str(), wideArg.c_str()), Widen(buf)) << "format: " << format;
}
}  // namespace

TEST(FwSingleton, NullBeforeConstructionAndAfterDestruction) {
    EXPECT_EQ(Engine::GetInstance(), nullptr);
    {
        Engine e;
        EXPECT_EQ(Engine::GetInstance(), &e);
        {
            Engine second;  // a later object replaces the record...
            EXPECT_EQ(Engine::GetInstance(), &second);
        }
        // ...and its destruction clears it, since it still pointed at the second one.
        EXPECT_EQ(Engine::GetInstance(), nullptr);
    }
    EXPECT_EQ(Engine::GetInstance(), nullptr);
}

TEST(FwArray, AddRemove) {
    CArray<int> a;
    EXPECT_EQ(a.Add(5), 0);
    EXPECT_EQ(a.Add(6), 1);
    a.RemoveAt(0);
    ASSERT_EQ(a.GetSize(), 1);
    EXPECT_EQ(a[0], 6);
}

// ---------------------------------------------------------------------------
// Formatting

TEST(FwFormat, IntegersMatchC) {
    ExpectLikeC("%d|%i|%d|%d", 0, 42, -42, INT_MIN);
    ExpectLikeC("%d", INT_MAX);
    ExpectLikeC("[%5d][%-5d][%05d][%+d][% d][%+d]", 42, 42, -42, 7, 7, -7);
    ExpectLikeC("[%.2d][%.0d][%.0d][%+.3d][%-+8.3d][%08.3d]", 5, 0, 3, 4, -4, 12);
    ExpectLikeC("[%x][%X][%#x][%#X][%#x][%o][%#o][%#o]", 255u, 255u, 255u, 48879u, 0u, 8u, 8u, 0u);
    // C requires the 0 here; MinGW's own printf prints nothing, so no comparison.
    EXPECT_EQ(fw::Format(L"[%#.0o][%.0o]", 0u, 0u), L"[0][]");
    ExpectLikeC("[%02x][%08X][%#010x][%-#6x]", 5u, 0xBEEFu, 0xABu, 0xABu);
    ExpectLikeC("[%u][%u][%5u]", 0u, UINT_MAX, 17u);
    ExpectLikeC("[%hhd][%hhu][%hhx][%hd][%hu][%hx]", 200, 300, 0x1FF, 70000, 70000, -1);
    ExpectLikeC("[%ld][%lu][%lx][%ld]", -123456789L, 4000000000UL, 0xCAFEUL, LONG_MIN);
    ExpectLikeC("[%lld][%llu][%llx][%lld]", LLONG_MIN, ULLONG_MAX, 0x123456789ABCDEFULL, 9000000000LL);
    ExpectLikeC("[%zu][%zx][%zd]", static_cast<std::size_t>(123456), static_cast<std::size_t>(0xFFF),
                static_cast<std::ptrdiff_t>(-5));
}

TEST(FwFormat, StarWidthAndPrecisionMatchC) {
    ExpectLikeC("[%*d][%-*d][%*d]", 6, 42, 6, 42, -6, 42);
    ExpectLikeC("[%.*d][%.*d][%*.*d]", 4, 7, -1, 7, 8, 3, -9);
    ExpectLikeC("[%*.*f]", 10, 2, 3.14159);
}

TEST(FwFormat, CharactersAndStringsMatchC) {
    ExpectLikeC("[%c][%5c][%-3c]", 'a', 'b', 'c');
    ExpectLikeC("100%% [%%]");
    ExpectStringLikeC("[%s]", "hello");
    ExpectStringLikeC("[%10s]", "hello");
    ExpectStringLikeC("[%-10s]", "hello");
    ExpectStringLikeC("[%.2s]", "hello");
    ExpectStringLikeC("[%5.1s]", "hello");
    ExpectStringLikeC("[%.0s]", "hello");
    ExpectStringLikeC("[%s]", "");
}

TEST(FwFormat, FloatingPointMatchesC) {
    ExpectLikeC("[%f][%f][%f][%f]", 3.14159, 0.0, -2.5, 1e20);
    ExpectLikeC("[%.0f][%.0f][%.0f][%.1f][%.2f]", 0.5, 1.5, 2.5, 0.05, 1.005);
    ExpectLikeC("[%e][%.3e][%E][%e][%.0e]", 12345.678, 0.000123456, 1e-300, 0.0, 5e10);
    ExpectLikeC("[%g][%g][%g][%g][%g][%g]", 100000.0, 1000000.0, 0.0001, 0.00001, 123.456, 0.0);
    ExpectLikeC("[%G][%.0g][%.1g][%.10g][%g]", 1e-10, 1234.0, 0.96, 1.0 / 3, 1e100);
    ExpectLikeC("[%#g][%#.3g][%#.0f][%#.0e][%#g]", 1.0, 100.0, 3.0, 3.0, 0.0001);
    ExpectLikeC("[%+.2f][% f][%010.3f][%-10.2f][%+012.4e]", 2.0, 2.0, -3.5, 1.25, 12345.0);
    ExpectLikeC("[%f][%.3f][%e]", -0.0, 1e-7, 1.7976931348623157e308);
    ExpectLikeC("[%.20f][%.17g]", 0.1, 0.1);
    ExpectLikeC("[%f][%f][%F][%5f][%-6f|][%e][%G]", HUGE_VAL, -HUGE_VAL, HUGE_VAL, HUGE_VAL, HUGE_VAL, HUGE_VAL,
                -HUGE_VAL);
    ExpectLikeC("[%Lf]", 2.5L);
}

TEST(FwFormat, WideAndNarrowStringArguments) {
    EXPECT_EQ(fw::Format(L"%s|%ls|%ws", L"a", L"b", L"c"), L"a|b|c");
    EXPECT_EQ(fw::Format(L"%hs|%S", "x\xC3\xA9", "\xE2\x82\xAC"), L"x\u00E9|\u20AC");  // UTF-8 in
    EXPECT_EQ(fw::Format(L"%hc%C%c%lc", 'a', 'b', L'\u0436', L'\u20AC'), L"ab\u0436\u20AC");
    EXPECT_EQ(fw::Format(L"[%s][%hs][%5s]", static_cast<const wchar_t*>(nullptr),
                         static_cast<const char*>(nullptr), static_cast<const wchar_t*>(nullptr)),
              L"[(null)][(null)][(null)]");
    // Precision never splits a surrogate pair.
    const wchar_t pair[] = {L'x', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), 0};
    EXPECT_EQ(fw::Format(L"[%.2s]", pair), L"[x]");
    EXPECT_EQ(fw::Format(L"[%.3s]", pair), std::wstring(L"[") + pair + L"]");
    EXPECT_EQ(fw::Format(L"[%.2hs]", "a\xF0\x9F\x98\x80"), L"[a]");
    // Longer than any fixed buffer.
    std::wstring big(100000, L'q');
    EXPECT_EQ(fw::Format(L"<%s>", big.c_str()), L"<" + big + L">");
    EXPECT_EQ(fw::Format(L"%s=%d", L"\u0424\u0430\u0439\u043B", 3), L"\u0424\u0430\u0439\u043B=3");
}

TEST(FwFormat, PointersUnknownConversionsAndOddFormats) {
    void* p = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x1234ABCD));
    std::wstring expected = sizeof(void*) == 4 ? L"1234ABCD" : L"000000001234ABCD";
    EXPECT_EQ(fw::Format(L"%p", p), expected);
    EXPECT_EQ(fw::Format(L"%I64d|%I64u|%I32d", -5LL, 6ULL, 7), L"-5|6|7");
    EXPECT_EQ(fw::Format(L"%y|%d", 1), L"%y|1");  // an unknown conversion reads no argument
    int dummy = 0;
    EXPECT_EQ(fw::Format(L"a%nb", &dummy), L"a%nb");  // %n is never honoured
    EXPECT_EQ(dummy, 0);
    EXPECT_EQ(fw::Format(L"end%"), L"end%");
    EXPECT_EQ(fw::Format(nullptr), L"");
    std::wstring s = L"x=";
    fw::AppendFormat(s, L"%d,%d", 1, 2);
    EXPECT_EQ(s, L"x=1,2");
    EXPECT_EQ(fw::Format(L"%f", std::nan("")).find(L"nan") != std::wstring::npos, true);
}

// ---------------------------------------------------------------------------
// Splitting, trimming, case

TEST(FwStrings, SplitJoinTrim) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(fw::Split(L"a,,b", L","), (V{L"a", L"", L"b"}));
    EXPECT_EQ(fw::Split(L"a,,b", L",", false), (V{L"a", L"b"}));
    EXPECT_EQ(fw::Split(L"::a::b::", L"::"), (V{L"", L"a", L"b", L""}));
    EXPECT_EQ(fw::Split(L"rec1;;\r\nrec2;;\r\n", L";;\r\n", false), (V{L"rec1", L"rec2"}));
    EXPECT_EQ(fw::Split(L"abc", L""), (V{L"abc"}));
    EXPECT_EQ(fw::Split(L"", L","), (V{L""}));
    EXPECT_EQ(fw::Split(L"", L",", false), V{});
    EXPECT_EQ(fw::Split(L"aaa", L"aa"), (V{L"", L"a"}));
    EXPECT_EQ(fw::Join(fw::Split(L"x::y::::z", L"::"), L"::"), L"x::y::::z");
    EXPECT_EQ(fw::Trim(L" \t\r\n x y \u00A0\u3000"), L"x y");
    EXPECT_EQ(fw::TrimLeft(L"  x "), L"x ");
    EXPECT_EQ(fw::TrimRight(L"  x "), L"  x");
    EXPECT_EQ(fw::Trim(L"   "), L"");
    EXPECT_EQ(fw::Trim(L"\"quoted\"", L"\""), L"quoted");
    EXPECT_EQ(fw::Trim(L"\"\"", L"\""), L"");
}

TEST(FwStrings, CaseMappingIsConsistent) {
    EXPECT_EQ(fw::ToLower(L"ABC \u00C4\u00D6\u00DC \u041F\u0420\u0418\u0412\u0415\u0422 \u0401 \u0393\u0394"),
              L"abc \u00E4\u00F6\u00FC \u043F\u0440\u0438\u0432\u0435\u0442 \u0451 \u03B3\u03B4");
    EXPECT_EQ(fw::ToUpper(L"\u00FF\u0101\u013A\u017E\u03AC\u03CE\u0491\u04CF"),
              L"\u0178\u0100\u0139\u017D\u0386\u038F\u0490\u04C0");
    EXPECT_EQ(fw::ToUpper(L"\u00D7\u00F7\u00DF\u0131\u0130"), L"\u00D7\u00F7\u00DF\u0131\u0130");
    // Over the whole 16-bit range: upper and lower map onto the same class, and
    // a mapped unit maps back.
    for (unsigned c = 1; c < 0x10000; ++c) {
        wchar_t w = static_cast<wchar_t>(c);
        wchar_t up = fw::ToUpper(w), low = fw::ToLower(w);
        ASSERT_EQ(fw::ToUpper(low), up) << std::hex << c;
        if (up != w) {
            ASSERT_EQ(fw::ToLower(up), w) << std::hex << c;
        }
        if (low != w) {
            ASSERT_EQ(fw::ToUpper(low), w) << std::hex << c;
        }
    }
}

TEST(FwStrings, CaseInsensitiveCompareAndFind) {
    EXPECT_EQ(fw::CompareNoCase(L"Klarwin", L"KLARWIN"), 0);
    EXPECT_LT(fw::CompareNoCase(L"apple", L"Banana"), 0);
    EXPECT_GT(fw::CompareNoCase(L"b", L"A"), 0);
    EXPECT_GT(fw::CompareNoCase(L"_", L"a"), 0);  // ordered as upper case, like Windows
    EXPECT_LT(fw::CompareNoCase(L"ab", L"ABC"), 0);
    EXPECT_TRUE(fw::EqualsNoCase(L"\u0421\u0438\u0441\u0442\u0435\u043C\u0430", L"\u0441\u0418\u0421\u0422\u0415\u041C\u0410"));
    EXPECT_TRUE(fw::EqualsNoCase(L"\u03A3\u03BF\u03C6\u03AF\u03B1", L"\u03C3\u039F\u03A6\u038A\u0391"));
    EXPECT_FALSE(fw::EqualsNoCase(L"Stra\u00DFe", L"STRASSE"));
    EXPECT_FALSE(fw::EqualsNoCase(L"abc", L"abcd"));
    EXPECT_TRUE(fw::StartsWithNoCase(L"HKEY_LOCAL_MACHINE\\Software", L"hkey_local"));
    EXPECT_FALSE(fw::StartsWithNoCase(L"HK", L"HKEY"));
    EXPECT_TRUE(fw::EndsWithNoCase(L"C:\\x\\Song.MP3", L".mp3"));
    EXPECT_EQ(fw::FindNoCase(L"C:\\Program Files\\App.EXE /x", L"app.exe"), 17u);
    EXPECT_EQ(fw::FindNoCase(L"abcABC", L"abc", 1), 3u);
    EXPECT_EQ(fw::FindNoCase(L"abc", L"abcd"), std::wstring::npos);
    EXPECT_EQ(fw::FindNoCase(L"abc", L"", 3), 3u);
    EXPECT_EQ(fw::FindNoCase(L"abc", L"", 4), std::wstring::npos);
}

// ---------------------------------------------------------------------------
// UTF-8

TEST(FwUtf8, EveryCodePointRoundTrips) {
    std::wstring all;
    for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        if (cp >= 0x10000) {
            all.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
            all.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            all.push_back(static_cast<wchar_t>(cp));
        }
    }
    bool ok1 = false, ok2 = false;
    std::string utf8 = fw::ToUtf8(all, &ok1);
    EXPECT_TRUE(ok1);
    EXPECT_EQ(utf8.size(), 0x7Fu + 2 * 0x780u + 3 * (0x10000u - 0x800u - 0x800u) + 4 * 0x100000u);
    EXPECT_TRUE(fw::FromUtf8(utf8, &ok2) == all);
    EXPECT_TRUE(ok2);
    EXPECT_EQ(fw::ToUtf8(L"\u00E9\u20AC"), "\xC3\xA9\xE2\x82\xAC");
    const wchar_t smile[] = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), 0};
    EXPECT_EQ(fw::ToUtf8(smile), "\xF0\x9F\x98\x80");
}

TEST(FwUtf8, InvalidInputBecomesReplacementCharacters) {
    bool ok = true;
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', static_cast<wchar_t>(0xDC00), 0};
    EXPECT_EQ(fw::ToUtf8(lone, &ok), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_FALSE(ok);
    struct Case {
        const char* in;
        std::size_t replacements;
    } cases[] = {
        {"\xC0\xAF", 2},          {"\xE0\x80\x80", 3}, {"\xED\xA0\x80", 3}, {"\xF4\x90\x80\x80", 4},
        {"\xE2\x82", 1},          {"\xF0\x9F\x98", 1}, {"\x80", 1},         {"\xFF\xFE", 2},
        {"\xE2\x82" "A", 1},
    };
    for (const Case& c : cases) {
        std::wstring out = fw::FromUtf8(c.in, &ok);
        EXPECT_FALSE(ok) << c.in;
        std::size_t n = 0;
        for (wchar_t w : out) n += w == static_cast<wchar_t>(0xFFFD);
        EXPECT_EQ(n, c.replacements) << c.in;
    }
    EXPECT_EQ(fw::FromUtf8("\xE2\x82" "A"), std::wstring(L"\uFFFD") + L"A");
    EXPECT_EQ(fw::FromUtf8("\xEF\xBF\xBD", &ok), L"\uFFFD");  // a real U+FFFD is valid
    EXPECT_TRUE(ok);
    EXPECT_EQ(fw::FromUtf8(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

// ---------------------------------------------------------------------------
// Integer parsing

TEST(FwParse, IntegersWithValidity) {
    int v = -1;
    EXPECT_TRUE(fw::ParseInt(L"42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(fw::ParseInt(L"  -17 ", v));
    EXPECT_EQ(v, -17);
    EXPECT_TRUE(fw::ParseInt(L"+5", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(fw::ParseInt(L"2147483647", v));
    EXPECT_EQ(v, INT_MAX);
    EXPECT_TRUE(fw::ParseInt(L"-2147483648", v));
    EXPECT_EQ(v, INT_MIN);
    v = 99;
    for (const wchar_t* bad : {L"", L"  ", L"-", L"+", L"12a", L"1 2", L"2147483648", L"-2147483649", L"0x10",
                               L"--1", L"99999999999999999999"}) {
        EXPECT_FALSE(fw::ParseInt(bad, v)) << bad;
        EXPECT_EQ(v, 99);
    }
    EXPECT_TRUE(fw::ParseInt(L"ff", v, 16));
    EXPECT_EQ(v, 255);
    EXPECT_TRUE(fw::ParseInt(L"0x1F", v, 16));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(fw::ParseInt(L"010", v, 0));
    EXPECT_EQ(v, 8);
    EXPECT_TRUE(fw::ParseInt(L"0X10", v, 0));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(fw::ParseInt(L"0", v, 0));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(fw::ParseInt(L"0x", v, 16));
    EXPECT_FALSE(fw::ParseInt(L"19", v, 8));
    EXPECT_FALSE(fw::ParseInt(L"1", v, 1));

    unsigned u = 7;
    EXPECT_TRUE(fw::ParseUInt(L"4294967295", u));
    EXPECT_EQ(u, UINT_MAX);
    EXPECT_FALSE(fw::ParseUInt(L"4294967296", u));
    EXPECT_FALSE(fw::ParseUInt(L"-1", u));
    EXPECT_EQ(u, UINT_MAX);

    long long ll = 0;
    EXPECT_TRUE(fw::ParseInt(L"-9223372036854775808", ll));
    EXPECT_EQ(ll, LLONG_MIN);
    EXPECT_FALSE(fw::ParseInt(L"9223372036854775808", ll));
    unsigned long long ull = 0;
    EXPECT_TRUE(fw::ParseUInt(L"18446744073709551615", ull));
    EXPECT_EQ(ull, ULLONG_MAX);
    EXPECT_FALSE(fw::ParseUInt(L"18446744073709551616", ull));
}

// ---------------------------------------------------------------------------
// UTF-16 text files

namespace {
class FwTextFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("fw_textfile_" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::size_t FilesInDir() const {
        std::size_t n = 0;
        for (auto it = fs::directory_iterator(dir_); it != fs::directory_iterator(); ++it) ++n;
        return n;
    }
    static std::string RawBytes(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteRaw(const fs::path& p, const std::string& bytes) {
        std::ofstream out(p, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    fs::path dir_;
};
}  // namespace

TEST_F(FwTextFile, EveryCodePointRoundTripsWithAndWithoutBom) {
    std::wstring all;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        if (cp >= 0x10000) {
            all.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
            all.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            all.push_back(static_cast<wchar_t>(cp));
        }
    }
    fs::path file = dir_ / L"all.txt";
    for (bool bom : {true, false}) {
        ASSERT_TRUE(fw::WriteUtf16File(file, all, bom));
        EXPECT_EQ(fs::file_size(file), all.size() * 2 + (bom ? 2 : 0));
        std::wstring back;
        bool hadBom = !bom;
        ASSERT_EQ(fw::ReadUtf16File(file, back, &hadBom), fw::TextFileResult::Ok);
        EXPECT_EQ(hadBom, bom);
        EXPECT_TRUE(back == all);
    }
    // Little-endian on disk, BOM first.
    ASSERT_TRUE(fw::WriteUtf16File(file, L"A\u20AC", true));
    EXPECT_EQ(RawBytes(file), std::string("\xFF\xFE" "A\0\xAC\x20", 6));
    EXPECT_EQ(FilesInDir(), 1u);  // no temporary left behind
}

TEST_F(FwTextFile, MebibyteOfTextRoundTripsAndReplacesOldContent) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> unit(1, 0xD7FF);
    std::wstring text(512 * 1024, L'x');  // 1 MiB on disk
    for (wchar_t& c : text) c = static_cast<wchar_t>(unit(rng));
    fs::path file = dir_ / fs::path(u8"big \u0444\u0430\u0439\u043B.dat");
    ASSERT_TRUE(fw::WriteUtf16File(file, L"old content that is longer than nothing", false));
    ASSERT_TRUE(fw::WriteUtf16File(file, text, false));
    EXPECT_EQ(fs::file_size(file), 1024u * 1024u);
    std::wstring back;
    bool hadBom = true;
    ASSERT_TRUE(fw::ReadUtf16Text(file, back, &hadBom));
    EXPECT_FALSE(hadBom);
    EXPECT_TRUE(back == text);
    ASSERT_TRUE(fw::WriteUtf16File(file, L"", false));
    ASSERT_TRUE(fw::ReadUtf16Text(file, back));
    EXPECT_TRUE(back.empty());
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(FwTextFile, MissingFilesFoldersAndOddLengthsAreResults) {
    std::wstring text = L"left alone";
    EXPECT_EQ(fw::ReadUtf16File(dir_ / L"missing.txt", text), fw::TextFileResult::NotFound);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(fw::ReadUtf16File(dir_, text), fw::TextFileResult::NotFound);
    EXPECT_FALSE(fw::ReadUtf16Text(dir_ / L"missing.txt", text));

    fs::path odd = dir_ / L"odd.txt";
    WriteRaw(odd, std::string("\xFF\xFE" "a\0b", 5));
    EXPECT_EQ(fw::ReadUtf16File(odd, text), fw::TextFileResult::OddLength);
    EXPECT_TRUE(text.empty());
    // Appending to it would misalign every later unit: refused, file untouched.
    EXPECT_FALSE(fw::AppendUtf16File(odd, L"c"));
    EXPECT_EQ(RawBytes(odd).size(), 5u);

    // A folder where the file should be, and a folder that does not exist.
    fs::create_directory(dir_ / L"sub");
    EXPECT_FALSE(fw::WriteUtf16File(dir_ / L"sub", L"x", true));
    EXPECT_TRUE(fs::is_directory(dir_ / L"sub"));
    EXPECT_FALSE(fw::WriteUtf16File(dir_ / L"nowhere" / L"f.txt", L"x", true));
    EXPECT_FALSE(fw::AppendUtf16File(dir_ / L"sub", L"x"));
    EXPECT_EQ(FilesInDir(), 2u);  // odd.txt and sub
}

TEST_F(FwTextFile, AppendCreatesThenExtends) {
    fs::path file = dir_ / L"log.txt";
    ASSERT_TRUE(fw::AppendUtf16File(file, L"one;", true));
    ASSERT_TRUE(fw::AppendUtf16File(file, L"two;", true));  // no second BOM
    std::wstring back;
    bool hadBom = false;
    ASSERT_TRUE(fw::ReadUtf16Text(file, back, &hadBom));
    EXPECT_TRUE(hadBom);
    EXPECT_EQ(back, L"one;two;");
    fs::path plain = dir_ / L"plain.txt";
    ASSERT_TRUE(fw::AppendUtf16File(plain, L"a"));
    ASSERT_TRUE(fw::AppendUtf16File(plain, L"b"));
    EXPECT_EQ(RawBytes(plain), std::string("a\0b\0", 4));
}
