#include "klarwin/online/online_config.h"

#include <cstdlib>
#include <mutex>

#include "klarwin_online_settings.h"

namespace {
std::mutex g_lock;
ServerAddress g_override;
}  // namespace

bool ParseServerAddress(const std::wstring& text, ServerAddress& out) {
    size_t colon = text.rfind(L':');
    ServerAddress a;
    a.host = text.substr(0, colon);
    if (colon != std::wstring::npos) {
        std::wstring port = text.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of(L"0123456789") != std::wstring::npos)
            return false;
        unsigned long n = wcstoul(port.c_str(), nullptr, 10);
        if (n == 0 || n > 65535) return false;
        a.port = static_cast<unsigned short>(n);
    }
    if (a.host.empty()) return false;
    out = a;
    return true;
}

ServerAddress GetUpdateServer() {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (!g_override.host.empty()) return g_override;
    }
    ServerAddress a;
    if (const wchar_t* env = _wgetenv(L"KLARWIN_UPDATE_SERVER")) {
        if (ParseServerAddress(env, a)) return a;
    }
    a.host = KLARWIN_UPDATE_HOST;
    a.port = KLARWIN_UPDATE_PORT;
    return a;
}

void SetUpdateServer(const ServerAddress& server) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_override = server;
}

namespace {
ServerAddress g_logOverride;
std::wstring g_namespaceOverride;
}  // namespace

ServerAddress GetLogServer() {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (!g_logOverride.host.empty()) return g_logOverride;
    }
    ServerAddress a;
    if (const wchar_t* env = _wgetenv(L"KLARWIN_LOG_SERVER")) {
        if (ParseServerAddress(env, a)) return a;
    }
    a.host = KLARWIN_LOG_HOST;
    a.port = KLARWIN_LOG_PORT;
    return a;
}

void SetLogServer(const ServerAddress& server) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_logOverride = server;
}

std::wstring GetLogNamespace() {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (!g_namespaceOverride.empty()) return g_namespaceOverride;
    }
    if (const wchar_t* env = _wgetenv(L"KLARWIN_LOG_NAMESPACE")) {
        if (*env) return env;
    }
    return KLARWIN_LOG_NAMESPACE;
}

void SetLogNamespace(const std::wstring& ns) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_namespaceOverride = ns;
}
