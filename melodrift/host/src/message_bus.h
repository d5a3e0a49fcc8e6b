// The message bus: modules and the main frame send each other texts by name.
// Delivery is a direct call of the recipient's OrvoPassMessage on the
// sender's thread; every message is kept, with its time and outcome, until
// the frame closes and writes the bus log ("<program>.log", UTF-8).
//
// Messages to the reserved names "Main frame" and "All modules" pass the
// recipient check but reach no module: they are recorded and answered with
// MESSAGE_RECIPIER_ERROR.
#pragma once

#include "host/host_interfaces.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CModuleRegistry;

struct _MESSAGE_QUERY_ITEM_ {
    std::int64_t Time = 0;  // seconds since 1970-01-01 UTC
    std::wstring Sender;
    std::wstring Recipient;
    std::wstring Message;
    std::int32_t Result = 0;
};

class CMessageBus {
public:
    explicit CMessageBus(const CModuleRegistry& registry);
    ~CMessageBus();
    CMessageBus(const CMessageBus&) = delete;
    CMessageBus& operator=(const CMessageBus&) = delete;

    // Any thread. Null texts count as empty. Returns a MESSAGE_* code.
    int Send(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message);

    std::size_t GetItemCount() const;
    // A copy of item i (taken under the lock); an empty item when i is out of range.
    _MESSAGE_QUERY_ITEM_ GetItem(std::size_t i) const;

    // The log beside the program: its full path with everything from the last
    // "." replaced by ".log"; empty when the path has no ".".
    static std::wstring LogPathFor(const std::wstring& programPath);
    // Writes every item, in sending order, as six lines ("Time: ",
    // "Recipient: ", "Sender: ", "Message: ", "Result: ..." and an empty
    // line) in UTF-8, replacing any previous log. False when the file could
    // not be written (closing goes on without a log).
    bool WriteLog(const std::wstring& logPath) const;
    // Section "MODULES_ORDER" of the settings file: the keys of an earlier
    // run emptied, then "_1", "_2", ... hold the module names in registry order.
    void WriteModulesOrder(const std::wstring& configPath) const;

private:
    const CModuleRegistry& m_registry;
    mutable CRITICAL_SECTION m_lock;
    // Items live at fixed addresses, so that a slow delivery never writes
    // into memory another thread's append has moved.
    std::vector<std::unique_ptr<_MESSAGE_QUERY_ITEM_>> m_items;
};
