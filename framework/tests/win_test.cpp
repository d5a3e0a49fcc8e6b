// Windows helpers of the framework: worker threads, COM, BSTR, resources,
// module paths, GDI objects, and the parts of the neutral helpers that must
// agree with Windows. Run under Wine.
#include "fw/strutil.h"
#include "fw/textfile.h"
#include "fw/win/app.h"
#include "fw/win/com.h"
#include "fw/win/gdi.h"
#include "fw/win/menu.h"
#include "fw/win/module.h"
#include "fw/win/resources.h"
#include "fw/win/thread.h"
#include "fw_test_res.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

DWORD HandleCount() {
    DWORD n = 0;
    GetProcessHandleCount(GetCurrentProcess(), &n);
    return n;
}

// Polls its flag like the programs' scan threads do.
class CPollingThread : public CWinThread {
public:
    std::atomic<bool> running{true};
    std::atomic<int> rounds{0};
    int Run() override {
        while (running) {
            ++rounds;
            Sleep(1);
        }
        return 7;
    }
};

class CSelfDeletingThread : public CWinThread {
public:
    explicit CSelfDeletingThread(HANDLE done) : m_done(done) {}
    ~CSelfDeletingThread() override { SetEvent(m_done); }
    int Run() override { return 0; }

private:
    HANDLE m_done;
};

}  // namespace

// ---------------------------------------------------------------------------
// Worker threads

TEST(FwThread, StopsWhenFlagClearedAndLeavesNoHandle) {
    // One round first, so that the runtime's own handles are already there.
    {
        CPollingThread warmup;
        warmup.m_bAutoDelete = FALSE;
        ASSERT_TRUE(warmup.CreateThread());
        warmup.running = false;
        warmup.Wait();
    }
    DWORD before = HandleCount();
    for (int i = 0; i < 20; ++i) {
        auto* thread = new CPollingThread;
        thread->m_bAutoDelete = FALSE;
        ASSERT_TRUE(thread->CreateThread(CREATE_SUSPENDED));
        ASSERT_NE(thread->m_hThread, nullptr);
        EXPECT_NE(thread->m_nThreadID, 0u);
        Sleep(5);
        EXPECT_EQ(thread->rounds.load(), 0);  // suspended: the body has not run
        EXPECT_EQ(thread->ResumeThread(), 1u);
        while (thread->rounds.load() == 0) Sleep(1);
        EXPECT_TRUE(thread->IsRunning());
        thread->running = false;
        ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 5000), WAIT_OBJECT_0);
        EXPECT_FALSE(thread->IsRunning());
        EXPECT_EQ(thread->GetExitCode(), 7u);
        EXPECT_FALSE(thread->CreateThread());  // a thread object runs once
        delete thread;
    }
    EXPECT_EQ(HandleCount(), before);
}

TEST(FwThread, AutoDeleteThreadDeletesItself) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD before = HandleCount();
    auto* thread = new CSelfDeletingThread(done);
    ASSERT_TRUE(thread->CreateThread());
    EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
    Sleep(50);  // the thread itself ends just after deleting its object
    EXPECT_EQ(HandleCount(), before);
    CloseHandle(done);
}

// ---------------------------------------------------------------------------
// COM and BSTR

namespace {
// Counts its references, to watch ComPtr.
class CountedUnknown : public IUnknown {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};
}  // namespace

TEST(FwCom, ComPtrCountsReferences) {
    CountedUnknown obj;
    {
        fw::ComPtr<IUnknown> a(&obj);
        EXPECT_EQ(obj.refs, 2u);
        fw::ComPtr<IUnknown> b = a;
        EXPECT_EQ(obj.refs, 3u);
        fw::ComPtr<IUnknown> c = std::move(b);
        EXPECT_EQ(obj.refs, 3u);
        EXPECT_FALSE(b);
        b = c;
        EXPECT_EQ(obj.refs, 4u);
        b = b;  // self-assignment changes nothing
        EXPECT_EQ(obj.refs, 4u);
        fw::ComPtr<IUnknown> d;
        EXPECT_EQ(c.As(IID_IUnknown, d), S_OK);
        EXPECT_EQ(obj.refs, 5u);
        IUnknown* raw = d.Detach();
        EXPECT_EQ(obj.refs, 5u);
        d.Attach(raw);
        c = nullptr;
        EXPECT_EQ(obj.refs, 4u);
    }
    EXPECT_EQ(obj.refs, 1u);
}

TEST(FwCom, RealComObjectsThroughComPtr) {
    CComInit com;
    ASSERT_TRUE(com.Succeeded());
    fw::ComPtr<IShellLinkW> link;
    ASSERT_EQ(link.CoCreateInstance(CLSID_ShellLink), S_OK);
    fw::ComPtr<IPersistFile> file;
    EXPECT_EQ(link.As(file), S_OK);
    EXPECT_TRUE(file);
    EXPECT_EQ(link->SetPath(L"C:\\windows\\notepad.exe"), S_OK);
    {
        CComInit nested;  // a second initialisation on the same thread is fine and balanced
        EXPECT_TRUE(nested.Succeeded());
    }
    CComInit other(COINIT_MULTITHREADED);  // the wrong apartment fails and undoes nothing
    EXPECT_FALSE(other.Succeeded());
}

TEST(FwCom, BstrOwnership) {
    CBstr empty;
    EXPECT_EQ(empty.Get(), nullptr);
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.ToString(), L"");

    CBstr s(std::wstring_view(L"a\0b", 3));
    EXPECT_EQ(s.Length(), 3u);
    CBstr copy = s;
    EXPECT_NE(copy.Get(), s.Get());
    EXPECT_EQ(copy.ToString(), std::wstring(L"a\0b", 3));

    // Detach hands the string over, as a posted message does; the receiver frees it.
    BSTR posted = CBstr(L"progress text").Detach();
    CBstr received;
    received.Attach(posted);
    EXPECT_EQ(received.ToString(), L"progress text");
    received.Attach(received.Get());  // attaching what it holds keeps it
    EXPECT_EQ(received.ToString(), L"progress text");
    *received.GetAddress() = SysAllocString(L"out param");
    EXPECT_EQ(received.ToString(), L"out param");
    CBstr moved = std::move(received);
    EXPECT_EQ(received.Get(), nullptr);
    EXPECT_EQ(moved.ToString(), L"out param");
}

// ---------------------------------------------------------------------------
// Resources and paths

TEST(FwResources, StringsBitmapsMenusAndData) {
    EXPECT_EQ(fw::LoadResourceString(IDS_HELLO), L"Hello, world");
    EXPECT_EQ(fw::LoadResourceString(IDS_CYRILLIC), L"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440");
    EXPECT_EQ(fw::LoadResourceString(IDS_EMPTYLINE), L"Test frame\nsecond line");
    std::wstring text = L"x";
    EXPECT_FALSE(fw::TryLoadResourceString(4242, text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(fw::TryLoadResourceString(2, text));  // same block as IDS_HELLO, not defined

    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(IDB_TEST));
    EXPECT_EQ(bitmap.GetSize().cx, 4);
    EXPECT_EQ(bitmap.GetSize().cy, 3);
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(4242));

    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_TESTFRAME));
    EXPECT_EQ(menu.GetMenuItemCount(), 2);
    CMenu file(menu.GetSubMenu(0));
    EXPECT_EQ(file.GetMenuString(0, MF_BYPOSITION), L"&Open\tF5");
    file.Detach();  // owned by `menu`
    EXPECT_NE(fw::LoadResourceAccelerators(IDR_TESTFRAME), nullptr);

    std::vector<BYTE> data;
    ASSERT_TRUE(fw::LoadResourceData(MAKEINTRESOURCEW(IDR_DATA), MAKEINTRESOURCEW(10) /* RT_RCDATA */, data));
    EXPECT_EQ(data, (std::vector<BYTE>{'a', 'b', 'c', 0, 0x01, 0x02}));
    EXPECT_FALSE(fw::LoadResourceData(MAKEINTRESOURCEW(999), MAKEINTRESOURCEW(10), data));
    EXPECT_TRUE(data.empty());

    // A language library as resource module: here the system's user32, which has no such strings.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    AfxSetResourceHandle(user32);
    EXPECT_EQ(AfxGetResourceHandle(), user32);
    EXPECT_EQ(fw::LoadResourceString(IDS_CYRILLIC), L"");
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(fw::LoadResourceString(IDS_HELLO), L"Hello, world");
}

TEST(FwPaths, ModuleFolderAndJoining) {
    std::wstring exe = fw::GetModulePath();
    EXPECT_TRUE(fw::EndsWithNoCase(exe, L"\\fw_win_test.exe")) << exe;
    std::wstring folder = fw::GetModuleFolder();
    EXPECT_EQ(fw::JoinPath(folder, L"fw_win_test.exe"), exe);
    EXPECT_EQ(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(fw::JoinPath(L"C:\\a\\", L"\\b"), L"C:\\a\\b");
    EXPECT_EQ(fw::JoinPath(L"C:\\a", L"b\\c.txt"), L"C:\\a\\b\\c.txt");
    EXPECT_EQ(fw::JoinPath(L"", L"b"), L"b");
    EXPECT_EQ(fw::JoinPath(L"C:\\", L""), L"C:\\");
    EXPECT_EQ(fw::GetFolderPart(L"C:\\x\\y.dll"), L"C:\\x");
    EXPECT_EQ(fw::GetFileNamePart(L"C:\\x\\y.dll"), L"y.dll");
    EXPECT_EQ(fw::GetFileTitle(L"C:\\x.d\\y.tar.gz"), L"y.tar");
    EXPECT_EQ(fw::GetFileTitle(L".hidden"), L".hidden");
}

// ---------------------------------------------------------------------------
// GDI

TEST(FwGdi, ObjectsAreSelectedBackAndFreed) {
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 50; ++i) {
        CClientDC screen(nullptr);
        CCompatibleDC mem(screen);
        HGDIOBJ originalBitmap = GetCurrentObject(mem, OBJ_BITMAP);
        HGDIOBJ originalFont = GetCurrentObject(mem, OBJ_FONT);
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateCompatibleBitmap(screen, 16, 16));
        CPen pen(PS_SOLID, 1, RGB(255, 0, 0));
        CBrush brush(RGB(0, 0, 255));
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(8, L"Arial", FW_BOLD));
        LOGFONTW lf = {};
        ASSERT_TRUE(font.GetLogFont(lf));
        EXPECT_EQ(lf.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
        EXPECT_EQ(lf.lfWeight, FW_BOLD);
        mem.SelectObject(bitmap);
        mem.SelectObject(pen);
        mem.SelectObject(brush);
        {
            CSelectObject scoped(mem, font);
            EXPECT_EQ(GetCurrentObject(mem, OBJ_FONT), font.Get());
        }
        EXPECT_EQ(GetCurrentObject(mem, OBJ_FONT), originalFont);
        RECT rc = {0, 0, 16, 16};
        mem.FillSolidRect(rc, RGB(1, 2, 3));
        EXPECT_EQ(GetPixel(mem, 5, 5), RGB(1, 2, 3));
        mem.RestoreObjects();
        EXPECT_EQ(GetCurrentObject(mem, OBJ_BITMAP), originalBitmap);
    }
    DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    EXPECT_EQ(after, before);  // (Wine may answer 0 for both)
}

// ---------------------------------------------------------------------------
// Neutral helpers against Windows

TEST(FwStrings, CaseFoldingAgreesWithCompareStringOrdinal) {
    for (unsigned c = 1; c < 0x10000; ++c) {
        wchar_t w = static_cast<wchar_t>(c);
        wchar_t up = fw::ToUpper(w);
        if (up == w) continue;
        ASSERT_EQ(CompareStringOrdinal(&w, 1, &up, 1, TRUE), CSTR_EQUAL) << std::hex << c;
    }
}

TEST(FwTextFile, FailedReplaceKeepsTheOldFile) {
    std::random_device rd;
    fs::path dir = fs::temp_directory_path() / ("fw_keep_" + std::to_string(rd()));
    fs::create_directories(dir);
    fs::path file = dir / L"settings.dat";
    ASSERT_TRUE(fw::WriteUtf16File(file, L"old", false));
    // Another program holds the file open without sharing: it cannot be replaced.
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fw::WriteUtf16File(file, L"new content", false));
    CloseHandle(h);
    std::wstring text;
    ASSERT_TRUE(fw::ReadUtf16Text(file, text));
    EXPECT_EQ(text, L"old");
    std::size_t files = 0;
    for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it) ++files;
    EXPECT_EQ(files, 1u);  // the temporary is gone
    ASSERT_TRUE(fw::WriteUtf16File(file, L"new content", false));  // released: now it works
    ASSERT_TRUE(fw::ReadUtf16Text(file, text));
    EXPECT_EQ(text, L"new content");
    fs::remove_all(dir);
}
