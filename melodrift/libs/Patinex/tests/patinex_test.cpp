// The skin manager through the real Patinex.dll: loading and keeping the
// current skin, the documents it hands out, colour and font texts.
#include "patinex/patinex.h"

#include "fw/strutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

std::wstring TempFile(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + fw::Format(L"patinex_%lu_%s", GetCurrentProcessId(), name);
}

std::wstring WriteFile(const wchar_t* name, const std::string& utf8) {
    std::wstring path = TempFile(name);
    std::ofstream(std::filesystem::path(path), std::ios::binary) << utf8;
    return path;
}

const char kSkinA[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SKIN_MM Caption=\"Alpha\" Width=\"800\" Height=\"600\">\n"
    "  <Colors>\n"
    "    <Color Name=\"MessageBoxBackground\" Value=\"#102030\"/>\n"
    "    <Color Name=\"Broken\" Value=\"no colour\"/>\n"
    "    <Color Name=\"NoValue\"/>\n"
    "  </Colors>\n"
    "  <MAINFRAME><Modules/></MAINFRAME>\n"
    "</SKIN_MM>\n";
const char kSkinB[] = "<SKIN_MM Caption=\"Beta\"><colors><color name=\"text\" value=\"1, 2, 3\"/></colors></SKIN_MM>";

// Runs first in its process (each case runs alone under CTest).
TEST(MdPatinex, A_NoSkinBeforeTheFirstLoad) {
    enXml* root = reinterpret_cast<enXml*>(1);
    EXPECT_EQ(GetSkinXMLRoot(nullptr, &root), E_FAIL);
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(GetSkinPath(nullptr, 0), 0u);
    EXPECT_EQ(GetSkinColor(L"MessageBoxBackground", RGB(9, 9, 9)), RGB(9, 9, 9));
    EXPECT_EQ(GetSkinXMLRoot(nullptr, nullptr), E_POINTER);
}

TEST(MdPatinex, LoadMakesTheSkinCurrentAndFailuresKeepIt) {
    std::wstring a = WriteFile(L"a.xml", kSkinA), b = WriteFile(L"b.xml", kSkinB);
    std::wstring bad = WriteFile(L"bad.xml", "<SKIN_MM Caption=\"x\"><open></SKIN_MM>");
    ASSERT_EQ(LoadStandardSkin(a.c_str()), S_OK);
    enXml* rootA = nullptr;
    ASSERT_EQ(GetSkinXMLRoot(nullptr, &rootA), S_OK);
    EXPECT_EQ(rootA->Name(), L"SKIN_MM");
    std::wstring caption;
    EXPECT_TRUE(rootA->GetAttribute(L"caption", caption));
    EXPECT_EQ(caption, L"Alpha");

    EXPECT_EQ(LoadStandardSkin(bad.c_str()), E_FAIL);
    EXPECT_EQ(LoadStandardSkin(TempFile(L"missing.xml").c_str()), E_FAIL);
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    EXPECT_EQ(LoadStandardSkin(folder), E_FAIL);
    EXPECT_EQ(LoadStandardSkin(L""), E_INVALIDARG);
    EXPECT_EQ(LoadStandardSkin(nullptr), E_INVALIDARG);
    enXml* still = nullptr;
    ASSERT_EQ(GetSkinXMLRoot(nullptr, &still), S_OK);
    EXPECT_EQ(still, rootA);
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(GetSkinPath(path, MAX_PATH), a.size());
    EXPECT_EQ(std::wstring(path), a);

    // A new skin: the old document stays readable for whoever still holds it.
    ASSERT_EQ(LoadStandardSkin(b.c_str()), S_OK);
    enXml* rootB = nullptr;
    ASSERT_EQ(GetSkinXMLRoot(rootA, &rootB), S_OK);
    EXPECT_NE(rootB, rootA);
    EXPECT_TRUE(rootA->GetAttribute(L"Caption", caption));
    EXPECT_EQ(caption, L"Alpha");
    EXPECT_NE(rootA->FindChild(L"MAINFRAME"), nullptr);
    wchar_t small[3] = {L'x', 0, 0};
    EXPECT_EQ(GetSkinPath(small, 3), b.size());
    EXPECT_EQ(small[0], L'x');
    for (auto* f : {&a, &b, &bad}) DeleteFileW(f->c_str());
}

TEST(MdPatinex, ColourTexts) {
    EXPECT_EQ(LoadColor(L"#0A1B2C"), RGB(0x0A, 0x1B, 0x2C));
    EXPECT_EQ(LoadColor(L"  #fff "), RGB(255, 255, 255));
    EXPECT_EQ(LoadColor(L"#abc"), RGB(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(LoadColor(L"12, 34,56"), RGB(12, 34, 56));
    EXPECT_EQ(LoadColor(L"RGB(255, 0, 128)"), RGB(255, 0, 128));
    EXPECT_EQ(LoadColor(L"rgb (0,0,0)"), RGB(0, 0, 0));
    for (const wchar_t* bad : {L"", L"#12345", L"#GG0000", L"1,2", L"1,2,3,4", L"256,0,0", L"-1,0,0", L"RGB(1,2,3",
                               L"red", L"1,,2", L"0x102030"})
        EXPECT_EQ(LoadColor(bad), CLR_INVALID) << fw::ToUtf8(bad);
    EXPECT_EQ(LoadColor(nullptr), CLR_INVALID);
}

TEST(MdPatinex, NamedColoursOfTheCurrentSkin) {
    std::wstring a = WriteFile(L"colors.xml", kSkinA);
    ASSERT_EQ(LoadStandardSkin(a.c_str()), S_OK);
    EXPECT_EQ(GetSkinColor(L"messageboxbackground", 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(LoadColor(L"@MessageBoxBackground"), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(GetSkinColor(L"Broken", RGB(1, 1, 1)), RGB(1, 1, 1));
    EXPECT_EQ(GetSkinColor(L"NoValue", RGB(2, 2, 2)), RGB(2, 2, 2));
    EXPECT_EQ(GetSkinColor(L"Absent", RGB(3, 3, 3)), RGB(3, 3, 3));
    EXPECT_EQ(GetSkinColor(nullptr, RGB(4, 4, 4)), RGB(4, 4, 4));
    EXPECT_EQ(LoadColor(L"@Absent"), CLR_INVALID);
    DeleteFileW(a.c_str());
}

TEST(MdPatinex, FontTexts) {
    LOGFONTW f = {};
    ASSERT_TRUE(LoadFont(&f, L"Tahoma,11,Bold"));
    EXPECT_EQ(std::wstring(f.lfFaceName), L"Tahoma");
    EXPECT_EQ(f.lfHeight, -11);
    EXPECT_EQ(f.lfWeight, FW_BOLD);
    EXPECT_EQ(f.lfCharSet, DEFAULT_CHARSET);
    ASSERT_TRUE(LoadFont(&f, L" Arial Black , 20, italic, underline, strikeout, 300"));
    EXPECT_EQ(std::wstring(f.lfFaceName), L"Arial Black");
    EXPECT_EQ(f.lfHeight, -20);
    EXPECT_EQ(f.lfWeight, 300);
    EXPECT_TRUE(f.lfItalic && f.lfUnderline && f.lfStrikeOut);
    ASSERT_TRUE(LoadFont(&f, L"Verdana"));
    EXPECT_EQ(f.lfHeight, 0);
    EXPECT_EQ(f.lfWeight, FW_NORMAL);
    EXPECT_FALSE(f.lfItalic);

    LOGFONTW keep = f;
    for (const wchar_t* bad : {L"", L" ,10", L"Tahoma,ten", L"Tahoma,10,Heavy", L"Tahoma,-5",
                               L"A face name that is far too long for it", L"Tahoma,10,2000"}) {
        EXPECT_FALSE(LoadFont(&f, bad)) << fw::ToUtf8(bad);
        EXPECT_EQ(std::memcmp(&f, &keep, sizeof f), 0);
    }
    EXPECT_FALSE(LoadFont(nullptr, L"Tahoma"));
    EXPECT_FALSE(LoadFont(&f, nullptr));
}

TEST(MdPatinex, QueryInterfaceAnswersAsTheExports) {
    ISWQueryInterface* q1 = nullptr;
    ISWQueryInterface* q2 = nullptr;
    ASSERT_EQ(GetSWQueryInterface(&q1), S_OK);
    ASSERT_EQ(GetSWQueryInterface(&q2), S_OK);
    ASSERT_NE(q1, nullptr);
    EXPECT_EQ(q1, q2);
    EXPECT_EQ(GetSWQueryInterface(nullptr), E_POINTER);
    DWORD serial = q1->GetSkinSerial();
    std::wstring b = WriteFile(L"q.xml", kSkinB);
    ASSERT_EQ(LoadStandardSkin(b.c_str()), S_OK);
    EXPECT_EQ(q1->GetSkinSerial(), serial + 1);
    enXml* viaQuery = nullptr;
    enXml* viaExport = nullptr;
    EXPECT_EQ(q1->GetSkinXMLRoot(nullptr, &viaQuery), S_OK);
    EXPECT_EQ(GetSkinXMLRoot(nullptr, &viaExport), S_OK);
    EXPECT_EQ(viaQuery, viaExport);
    EXPECT_EQ(q1->GetSkinColor(L"TEXT", 0), RGB(1, 2, 3));
    EXPECT_EQ(q1->LoadColor(L"#010203"), RGB(1, 2, 3));
    LOGFONTW f = {};
    EXPECT_TRUE(q1->LoadFont(&f, L"Tahoma,9"));
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(q1->GetSkinPath(path, MAX_PATH), b.size());
    DeleteFileW(b.c_str());
}

}  // namespace
