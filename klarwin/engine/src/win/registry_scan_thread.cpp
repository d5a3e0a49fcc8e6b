#include "klarwin/registry_scan_thread.h"

#include <optional>

#include "klarwin/path_check.h"
#include "klarwin/scan_walks.h"

CRegistryScanThread::CRegistryScanThread(const bool enabled[kSectionCount], const ScanSetup& setup)
    : m_errors(setup.errors), m_context(setup) {
    for (int s = 0; s < kSectionCount; ++s) m_enabled[s] = enabled && enabled[s];
    m_bAutoDelete = FALSE;
}

CRegistryScanThread::~CRegistryScanThread() {
    // Never leave the thread working on a context that is going away.
    if (IsRunning()) Stop();
}

bool CRegistryScanThread::Start() {
    m_bAutoDelete = FALSE;
    m_context.running.store(true);
    if (CreateThread()) return true;
    m_context.running.store(false);
    return false;
}

void CRegistryScanThread::RequestStop() {
    m_context.running.store(false);
    m_context.finder.StopSearch();
}

void CRegistryScanThread::Stop() {
    RequestStop();
    Wait(INFINITE);
}

bool CRegistryScanThread::IsSectionEnabled(int section) const {
    return section >= 0 && section < kSectionCount && m_enabled[section];
}

int CRegistryScanThread::Run() {
    ScanContext& ctx = m_context;
    {
        // The shell-link object lives in this thread's apartment, made and
        // released here, and is used by nothing else; only the shortcut
        // section needs it (the first start of COM in a process is slow).
        std::optional<CComInit> com;
        if (m_enabled[kSectionShortcuts]) {
            com.emplace(COINIT_APARTMENTTHREADED);
            if (com->Succeeded()) ctx.shellLink.CoCreateInstance(CLSID_ShellLink, IID_IShellLinkW);
        }
        ctx.systemRoot = ExpandEnvironment(L"%systemroot%");
        if (ctx.systemRoot.find(L'%') != std::wstring::npos) ctx.systemRoot.clear();

        ctx.ordinal = 0;
        for (int section = 0; section < kSectionCount && ctx.running.load(); ++section) {
            if (!m_enabled[section]) continue;
            RunScanSection(ctx, section);
            ++ctx.ordinal;
        }
        if (ctx.running.load()) PostScanMessage(ctx, WM_SCAN_COMPLETE, 0, 0);
        ctx.shellLink.Reset();
    }
    ctx.running.store(false);
    return 1;
}
