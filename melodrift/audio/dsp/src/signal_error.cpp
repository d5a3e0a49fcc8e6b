// Status texts, the last status and the error handler of the signal routines.
#include "dsp/signal.h"

#include <atomic>

namespace {

int DefaultErrorHandler(int, const char*, const char*, const char*, int)
{
    // The player has no console: the status stays readable with nspGetErrStatus.
    return 0;
}

std::atomic<int> g_lastStatus{NSP_STS_OK};
std::atomic<NspErrorHandler> g_handler{&DefaultErrorHandler};

}  // namespace

int nspError(int status, const char* funcName, const char* context, const char* file, int line)
{
    if (status != NSP_STS_BACKTRACE && status != NSP_STS_AUTOTRACE) {
        g_lastStatus.store(status);
    }
    if (status == NSP_STS_OK) {
        return 0;
    }
    NspErrorHandler handler = g_handler.load();
    handler(status, funcName, context, file, line);
    return status;
}

int nspGetErrStatus()
{
    return g_lastStatus.load();
}

void nspSetErrStatus(int status)
{
    g_lastStatus.store(status);
}

const char* nspErrorStr(int status)
{
    switch (status) {
    case NSP_STS_OK: return "No Error";
    case NSP_STS_BACKTRACE: return "Backtrace";
    case NSP_STS_INTERNAL: return "Internal error (bad state)";
    case NSP_STS_NO_MEMORY: return "Out of memory";
    case NSP_STS_BAD_ARGUMENT: return "Bad argument";
    case NSP_STS_UNSUPPORTED: return "Unsupported function";
    case NSP_STS_NO_CONVERGENCE: return "Iteration convergence failed";
    case NSP_STS_AUTOTRACE: return "Autotrace call";
    case NSP_STS_NULL_POINTER: return "Null pointer";
    case NSP_STS_BAD_POINTER: return "Bad pointer";
    case NSP_STS_BAD_STRUCTURE: return "Bad data structure";
    case NSP_STS_BAD_LENGTH: return "Bad vector length";
    default: return "Unknown error or status code";
    }
}

NspErrorHandler nspRedirectError(NspErrorHandler handler)
{
    return g_handler.exchange(handler != nullptr ? handler : &DefaultErrorHandler);
}
