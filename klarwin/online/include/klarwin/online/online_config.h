// Where Klarwin's online services live. The defaults are build settings
// (KLARWIN_UPDATE_HOST, KLARWIN_UPDATE_PORT); the environment variable
// KLARWIN_UPDATE_SERVER ("host:port") or SetUpdateServer override them at run
// time, which is how the tests point the program at a loopback server.
#pragma once

#include <string>

struct ServerAddress {
    std::wstring host;
    unsigned short port = 80;
};

ServerAddress GetUpdateServer();
void SetUpdateServer(const ServerAddress& server);  // an empty host goes back to the default

// Parses "host:port" (or just "host", port 80); false on a bad port.
bool ParseServerAddress(const std::wstring& text, ServerAddress& out);

// The log service: host and port (KLARWIN_LOG_HOST, KLARWIN_LOG_PORT; at run
// time KLARWIN_LOG_SERVER "host:port") and its namespace URI, ending with "/"
// (KLARWIN_LOG_NAMESPACE, also as an environment variable).
ServerAddress GetLogServer();
void SetLogServer(const ServerAddress& server);
std::wstring GetLogNamespace();
void SetLogNamespace(const std::wstring& ns);
