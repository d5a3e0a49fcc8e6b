// The splitter, the three record formats with their escaping, and record files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "fw/strutil.h"
#include "klarwin/record_format.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::wstring> Pieces(std::wstring_view text, std::wstring_view sep) {
    CStringArrayEx a = SplitString(text, sep);
    return a.Items();
}

using V = std::vector<std::wstring>;

const std::wstring kMarker(1, kEscapeMarker);

// Random text over units that stress the framing, plus any UTF-16 unit.
class TextGen {
public:
    explicit TextGen(unsigned seed) : m_rng(seed) {}

    std::wstring Text(int maxLen = 12) {
        static const std::wstring_view pieces[] = {L":",  L"::", L";",  L";;\r\n", L";;", L"\r\n", L"\r",
                                                   L"\n", L"C",  L"S",  L"ValueName=", L"ValueData=", L"a",
                                                   L"\\", L" ",  L"="};
        std::wstring out;
        int len = static_cast<int>(m_rng() % static_cast<unsigned>(maxLen + 1));
        for (int i = 0; i < len; ++i) {
            switch (m_rng() % 4) {
                case 0: out += pieces[m_rng() % std::size(pieces)]; break;
                case 1: out += kEscapeMarker; break;
                case 2: out += static_cast<wchar_t>(m_rng() % 0x10000); break;
                default: out += static_cast<wchar_t>(L'a' + m_rng() % 26); break;
            }
        }
        return out;
    }
    int Number() {
        switch (m_rng() % 4) {
            case 0: return 0;
            case 1: return static_cast<int>(m_rng() % 12);
            case 2: return -static_cast<int>(m_rng() % 1000);
            default: return static_cast<int>(m_rng());
        }
    }
    // Text that needs no escaping, with single colons and semicolons and line ends.
    std::wstring PlainText() {
        static const std::wstring_view pieces[] = {L":a", L";", L"\r\n", L"a", L"Z", L"\\", L" ", L"=", L"\x00e9",
                                                   L"\x4e2d", L";;", L"\r"};
        for (;;) {
            std::wstring out;
            int len = static_cast<int>(m_rng() % 10);
            for (int i = 0; i < len; ++i) out += pieces[m_rng() % std::size(pieces)];
            if (out.find(L"::") == std::wstring::npos && out.find(L";;\r\n") == std::wstring::npos) return out;
        }
    }
    int ValueType() {
        static const int types[] = {1, 2, 4};
        return types[m_rng() % 3];
    }
    std::wstring RootName() {
        static const wchar_t* names[] = {L"HKEY_LOCAL_MACHINE", L"HKEY_CURRENT_USER", L"HKEY_CLASSES_ROOT",
                                         L"HKEY_USERS"};
        return names[m_rng() % 4];
    }
    CRegistryItem Item() {
        CRegistryItem item;
        item.ValueType = ValueType();
        item.RootName = m_rng() % 5 == 0 ? Text() : RootName();
        item.RootKey = RootKeyFromName(item.RootName);
        item.SubKey = Text();
        item.ValueName = Text();
        item.ValueData = Text();
        item.Tag = Number();
        return item;
    }
    CError Error() {
        CError e;
        e.ErrorType = Number();
        e.Section = Number();
        e.FilePath = Text();
        e.Reason = Text(30);
        e.Title = Text();
        e.Item = Item();
        return e;
    }

private:
    std::mt19937 m_rng;
};

// A field that needs no escaping: no marker, no "::", no ";;\r\n", no trailing colon.
bool Plain(const std::wstring& f) {
    return f.find(L'\0') == std::wstring::npos && f.find(kEscapeMarker) == std::wstring::npos && f.find(L"::") == std::wstring::npos &&
           f.find(L";;\r\n") == std::wstring::npos && (f.empty() || f.back() != L':');
}

bool Plain(const CRegistryItem& i) {
    return Plain(i.RootName) && Plain(i.SubKey) && Plain(i.ValueName) && Plain(i.ValueData);
}

fs::path TempDir(const char* name) {
    fs::path dir = fs::temp_directory_path() / ("klarwin_records_" + std::string(name) + "_" +
                                                std::to_string(std::random_device()()));
    fs::create_directories(dir);
    return dir;
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Utf16(std::wstring_view text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(static_cast<unsigned>(c) & 0xFF);
        bytes += static_cast<char>((static_cast<unsigned>(c) >> 8) & 0xFF);
    }
    return bytes;
}

}  // namespace

TEST(KlarwinRecordsFormat, SplitterRules) {
    EXPECT_EQ(Pieces(L"a::b::", L"::"), (V{L"a", L"b"}));
    EXPECT_EQ(Pieces(L"a::b::tail", L"::"), (V{L"a", L"b"}));  // the tail is dropped
    EXPECT_EQ(Pieces(L"::::a::", L"::"), (V{L"", L"", L"a"}));  // empty pieces are kept
    EXPECT_EQ(Pieces(L"no separator", L"::"), V{});
    EXPECT_EQ(Pieces(L"", L"::"), V{});
    EXPECT_EQ(Pieces(L"::", L"::"), V{L""});
    // Leftmost occurrence first, searching on after each one.
    EXPECT_EQ(Pieces(L":::", L"::"), V{L""});
    EXPECT_EQ(Pieces(L"a:::b::", L"::"), (V{L"a", L":b"}));
    EXPECT_EQ(Pieces(L"r1;;\r\nr2;;\r\nr3", L";;\r\n"), (V{L"r1", L"r2"}));
    EXPECT_EQ(Pieces(L"abc", L""), V{});
}

// Records whose fields need no escaping are what the plain format strings give.
TEST(KlarwinRecordsFormat, PlainRecordsMatchTheFormatStrings) {
    TextGen gen(7);
    int checked = 0;
    for (int i = 0; i < 3000 && checked < 300; ++i) {
        CError e = gen.Error();
        if (i % 2 == 0) {
            for (std::wstring* f : {&e.FilePath, &e.Reason, &e.Title, &e.Item.RootName, &e.Item.SubKey,
                                    &e.Item.ValueName, &e.Item.ValueData})
                *f = gen.PlainText();
        }
        const CRegistryItem& it = e.Item;
        if (!Plain(e.FilePath) || !Plain(e.Reason) || !Plain(e.Title) || !Plain(it)) continue;
        ++checked;
        EXPECT_EQ(FormatErrorLine(e),
                  fw::Format(L"%d::%d::%s::%s::%s::%s::%s::%d::%s::ValueName=%s::ValueData=%s::;;\r\n",
                             e.ErrorType, e.Section, e.FilePath.c_str(), e.Reason.c_str(), e.Title.c_str(),
                             it.RootName.c_str(), ValueTypeName(it.ValueType), it.Tag, it.SubKey.c_str(),
                             it.ValueName.c_str(), it.ValueData.c_str()));
        EXPECT_EQ(FormatIgnoreLine(it), fw::Format(L"%s::%s::%s::ValueName=%s::;;\r\n", it.RootName.c_str(),
                                                   ValueTypeName(it.ValueType), it.SubKey.c_str(),
                                                   it.ValueName.c_str()));
        EXPECT_EQ(FormatBackupLine(e.ErrorType, it),
                  fw::Format(L"%d::%s::%s::%s::ValueName=%s::%s::;;\r\n", e.ErrorType, it.RootName.c_str(),
                             ValueTypeName(it.ValueType), it.SubKey.c_str(), it.ValueName.c_str(),
                             it.ValueData.c_str()));
    }
    EXPECT_GE(checked, 100);

    // And a whole file of such records is their concatenation.
    CErrorListEx list;
    CError a;
    a.ErrorType = 1;
    a.Section = 4;
    a.FilePath = L"C:\\gone\\app.exe";
    a.Reason = L"The value in HKEY_LOCAL_MACHINE\\Run\\x  contains an invalid path C:\\gone\\app.exe";
    a.Title = L"The file is missing or invalid.";
    a.Item.RootName = L"HKEY_LOCAL_MACHINE";
    a.Item.ValueType = 1;
    a.Item.SubKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    a.Item.ValueName = L"x";
    a.Item.ValueData = L"C:\\gone\\app.exe";
    list.Add(a);
    list.Add(a);
    EXPECT_EQ(FormatErrorRecords(list),
              L"1::4::C:\\gone\\app.exe::The value in HKEY_LOCAL_MACHINE\\Run\\x  contains an invalid path "
              L"C:\\gone\\app.exe::The file is missing or invalid.::HKEY_LOCAL_MACHINE::REG_SZ::0::Software\\Microsoft"
              L"\\Windows\\CurrentVersion\\Run::ValueName=x::ValueData=C:\\gone\\app.exe::;;\r\n" +
                  FormatErrorLine(a));
}

TEST(KlarwinRecordsFormat, RandomRecordsRoundTrip) {
    TextGen gen(2024);
    CErrorListEx errors;
    CRegistryItemListEx items;
    CArray<BackupRecord> backups;
    for (int i = 0; i < 2000; ++i) {
        CError e = gen.Error();
        CError back;
        ASSERT_TRUE(ParseErrorLine(SplitString(FormatErrorLine(e), kRecordEnd)[0], back));
        CError expected = e;
        expected.Protected = false;
        EXPECT_EQ(back, expected);
        errors.Add(e);

        CRegistryItem item = gen.Item();
        CRegistryItem readItem;
        ASSERT_TRUE(ParseIgnoreLine(SplitString(FormatIgnoreLine(item), kRecordEnd)[0], readItem));
        CRegistryItem expectedItem = item;
        expectedItem.ValueData.clear();
        expectedItem.Tag = 0;
        EXPECT_EQ(readItem, expectedItem);
        items.Add(item);

        int kind = 0;
        CRegistryItem backupItem;
        ASSERT_TRUE(ParseBackupLine(SplitString(FormatBackupLine(e.ErrorType, item), kRecordEnd)[0], kind,
                                    backupItem));
        expectedItem = item;
        expectedItem.Tag = 0;
        EXPECT_EQ(kind, e.ErrorType);
        EXPECT_EQ(backupItem, expectedItem);
        backups.Add(BackupRecord{e.ErrorType, item});
    }

    // Whole texts: every record comes back, in order.
    CErrorListEx errorsBack;
    EXPECT_EQ(ReadErrorRecords(FormatErrorRecords(errors), errorsBack), errors.GetSize());
    ASSERT_EQ(errorsBack.GetSize(), errors.GetSize());
    for (int i = 0; i < errors.GetSize(); ++i) EXPECT_EQ(errorsBack[i].Item.ValueData, errors[i].Item.ValueData);

    CRegistryItemListEx itemsBack;
    EXPECT_EQ(ReadIgnoreRecords(FormatIgnoreRecords(items), itemsBack), items.GetSize());

    std::wstring backupText;
    for (const BackupRecord& r : backups) backupText += FormatBackupLine(r.Kind, r.Item);
    CArray<BackupRecord> backupsBack;
    bool complete = false;
    EXPECT_EQ(ReadBackupRecords(backupText, backupsBack, &complete), backups.GetSize());
    EXPECT_TRUE(complete);
    for (int i = 0; i < backups.GetSize(); ++i) EXPECT_EQ(backupsBack[i].Item.SubKey, backups[i].Item.SubKey);
}

TEST(KlarwinRecordsFormat, SeparatorsInsideFields) {
    CRegistryItem item;
    item.ValueType = 1;
    item.RootName = L"HKEY_LOCAL_MACHINE";
    item.SubKey = L"Software\\Net";
    item.ValueName = L"ValueName=Server";  // holds the prefix text itself
    item.ValueData = L"fe80::1;;\r\nnext";

    std::wstring line = FormatBackupLine(1, item);
    // The framing still has exactly six fields in one record.
    ASSERT_EQ(SplitString(line, kRecordEnd).GetSize(), 1);
    EXPECT_EQ(SplitString(SplitString(line, kRecordEnd)[0], kFieldEnd).GetSize(), 6);
    int kind = 0;
    CRegistryItem back;
    ASSERT_TRUE(ParseBackupLine(SplitString(line, kRecordEnd)[0], kind, back));
    EXPECT_EQ(back.ValueName, L"ValueName=Server");
    EXPECT_EQ(back.ValueData, L"fe80::1;;\r\nnext");

    // Escaping touches only what needs it.
    EXPECT_EQ(EscapeField(L"fe80::1"), L"fe80" + kMarker + L"C:1");
    EXPECT_EQ(EscapeField(L"C:"), L"C" + kMarker + L"C");
    EXPECT_EQ(EscapeField(L"x;;\r\n"), L"x" + kMarker + L"S;\r\n");
    EXPECT_EQ(EscapeField(kMarker), kMarker + kMarker);
    for (const wchar_t* f : {L"fe80::1", L"C:", L":::", L";;;\r\n", L"\xFFFF" L"C", L"a\xFFFF\xFFFF" L"S:"})
        EXPECT_EQ(UnescapeField(EscapeField(f)), f);
    // A marker followed by something else is kept as written on reading.
    EXPECT_EQ(UnescapeField(L"a\xFFFF" L"x\xFFFF"), L"a\xFFFF" L"x\xFFFF");

    // A leading colon and a lone colon need nothing.
    CRegistryItem colon = item;
    colon.SubKey = L":lead";
    colon.ValueName = L"a:b";
    colon.ValueData = L"";
    EXPECT_EQ(FormatBackupLine(2, colon), L"2::HKEY_LOCAL_MACHINE::REG_SZ:::lead::ValueName=a:b::::;;\r\n");
    ASSERT_TRUE(ParseBackupLine(SplitString(FormatBackupLine(2, colon), kRecordEnd)[0], kind, back));
    EXPECT_EQ(back.SubKey, L":lead");
    EXPECT_EQ(back.ValueName, L"a:b");
}

TEST(KlarwinRecordsFormat, ReadingRules) {
    // Short records are skipped; extra fields are ignored; the unterminated tail is lost.
    std::wstring text =
        L"1::2::p::r::t::HKEY_USERS::REG_DWORD::7::S-1-5-18\\x::ValueName=v::ValueData=d::;;\r\n"
        L"1::2::p::r::;;\r\n"
        L"x::y::::::::nope::REG_BINARY::z::k::n::ValueData=::extra::;;\r\n"
        L"0::11::tail::r::t::HKEY_CURRENT_USER::REG_SZ::0::::ValueName=::ValueData=::";
    CErrorListEx errors;
    EXPECT_EQ(ReadErrorRecords(text, errors), 2);
    ASSERT_EQ(errors.GetSize(), 2);
    EXPECT_EQ(errors[0].ErrorType, 1);
    EXPECT_EQ(errors[0].Section, 2);
    EXPECT_EQ(errors[0].Item.RootKey, RootUsers());
    EXPECT_EQ(errors[0].Item.ValueType, 4);
    EXPECT_EQ(errors[0].Item.Tag, 7);
    EXPECT_EQ(errors[0].Item.ValueName, L"v");
    EXPECT_FALSE(errors[0].Protected);
    // Not numbers read as 0; unknown root and type names.
    EXPECT_EQ(errors[1].ErrorType, 0);
    EXPECT_EQ(errors[1].Section, 0);
    EXPECT_EQ(errors[1].Item.RootName, L"nope");
    EXPECT_EQ(errors[1].Item.RootKey, RootLocalMachine());
    EXPECT_EQ(errors[1].Item.ValueType, 1);
    EXPECT_EQ(errors[1].Item.Tag, 0);
    EXPECT_EQ(errors[1].Item.ValueName, L"n");  // a field without the prefix is taken as it is

    EXPECT_EQ(ParseDecimalField(L"  42abc"), 42);
    EXPECT_EQ(ParseDecimalField(L"-17"), -17);
    EXPECT_EQ(ParseDecimalField(L"99999999999"), 2147483647);
    EXPECT_EQ(ParseDecimalField(L"-99999999999"), -2147483647 - 1);
    EXPECT_EQ(ParseDecimalField(L"-"), 0);

    // Types 0 and 3 are written as REG_SZ and read back as 1.
    CRegistryItem item;
    item.ValueType = 3;
    EXPECT_EQ(FormatIgnoreLine(item), L"::REG_SZ::::ValueName=::;;\r\n");
    CRegistryItem back;
    ASSERT_TRUE(ParseIgnoreLine(L"::REG_SZ::::ValueName=::", back));
    EXPECT_EQ(back.ValueType, 1);
    EXPECT_FALSE(ParseIgnoreLine(L"HKEY_USERS::REG_SZ::k::", back));

    // Backups stop at the first short line.
    CArray<BackupRecord> records;
    bool complete = true;
    EXPECT_EQ(ReadBackupRecords(L"1::HKEY_USERS::REG_SZ::k::ValueName=v::d::;;\r\n2::x::;;\r\n"
                                L"2::HKEY_USERS::REG_SZ::k::ValueName=::::;;\r\n",
                                records, &complete),
              1);
    EXPECT_FALSE(complete);
}

TEST(KlarwinRecordsFormat, RecordFiles) {
    fs::path dir = TempDir("files");
    fs::path file = dir / "log.dat";

    // A missing file reads nothing and leaves the list alone.
    CRegistryItemListEx items;
    items.Add(CRegistryItem());
    EXPECT_EQ(LoadIgnoreFile(file, items), RecordFileResult::NotFound);
    EXPECT_EQ(items.GetSize(), 1);

    // Written without byte-order mark, little-endian, exactly the formatted text.
    CRegistryItem a;
    a.ValueType = 2;
    a.RootName = L"HKEY_CURRENT_USER";
    a.RootKey = RootCurrentUser();
    a.SubKey = L"Software\\\x00e9t\x00e9";
    a.ValueName = L"n";
    items.RemoveAll();
    items.Add(a);
    items.Add(a);
    ASSERT_EQ(SaveIgnoreFile(file, items), RecordFileResult::Ok);
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    EXPECT_EQ(bytes, Utf16(FormatIgnoreRecords(items)));

    CRegistryItemListEx back;
    ASSERT_EQ(LoadIgnoreFile(file, back), RecordFileResult::Ok);
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back[1], a);

    // An empty list leaves an empty file.
    ASSERT_EQ(SaveIgnoreFile(file, CRegistryItemListEx()), RecordFileResult::Ok);
    EXPECT_EQ(fs::file_size(file), 0u);

    // A byte-order mark is skipped and a trailing odd byte ignored.
    WriteBytes(file, "\xFF\xFE" + Utf16(FormatIgnoreLine(a)) + "X");
    back.RemoveAll();
    ASSERT_EQ(LoadIgnoreFile(file, back), RecordFileResult::Ok);
    ASSERT_EQ(back.GetSize(), 1);
    EXPECT_EQ(back[0].RootName, L"HKEY_CURRENT_USER");

    // Errors and backups.
    fs::path errorsFile = dir / "unresolvederrors.dat";
    CErrorListEx errors;
    CError e;
    e.ErrorType = 2;
    e.Section = 7;
    e.FilePath = L"S-1-5-18\\a\\b";
    e.Item = a;
    errors.Add(e);
    ASSERT_EQ(SaveErrorFile(errorsFile, errors), RecordFileResult::Ok);
    CErrorListEx errorsBack;
    ASSERT_EQ(LoadErrorFile(errorsFile, errorsBack), RecordFileResult::Ok);
    ASSERT_EQ(errorsBack.GetSize(), 1);
    EXPECT_EQ(errorsBack[0].FilePath, e.FilePath);

    fs::path backupFile = dir / "20261208_0341.dat";
    ASSERT_EQ(AppendBackupFile(backupFile, 1, a), RecordFileResult::Ok);
    ASSERT_EQ(AppendBackupFile(backupFile, 2, a), RecordFileResult::Ok);
    std::wstring text;
    ASSERT_EQ(ReadRecordText(backupFile, text), RecordFileResult::Ok);
    EXPECT_EQ(text, FormatBackupLine(1, a) + FormatBackupLine(2, a));

    // A folder in place of the file is not a record file.
    EXPECT_EQ(ReadRecordText(dir, text), RecordFileResult::NotFound);
    EXPECT_EQ(SaveIgnoreFile(dir, items), RecordFileResult::WriteError);

    fs::remove_all(dir);
}
