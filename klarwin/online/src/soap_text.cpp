#include "klarwin/online/soap_text.h"

#include <cstdint>
#include <cstdlib>

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::wstring& out, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

std::string Element(const char* name, const std::wstring& text) {
    return std::string("<") + name + ">" + XmlEscape(Utf16ToUtf8(text)) + "</" + name + ">";
}

std::string Envelope(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>" +
           body + "</soap:Body></soap:Envelope>";
}

// Replaces the five named entities and character references; false on an
// unknown or broken reference or a bare "<".
bool Unescape(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '<') return false;
        if (c != '&') {
            out += c;
            continue;
        }
        size_t semi = in.find(';', i);
        if (semi == std::string::npos || semi - i > 12) return false;
        std::string ref = in.substr(i + 1, semi - i - 1);
        if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "amp") out += '&';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            bool hex = ref[1] == 'x' || ref[1] == 'X';
            std::string digits = ref.substr(hex ? 2 : 1);
            if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                                      std::string::npos)
                return false;
            unsigned long cp = strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
            if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
            AppendUtf8(out, static_cast<uint32_t>(cp));
        } else {
            return false;
        }
        i = semi;
    }
    return true;
}

// The text of the first element with this local name (any prefix), or
// nothing when absent; an empty element (<X/>) gives empty text.
enum class Found { No, Yes, Broken };
Found ElementText(const std::string& xml, const std::string& local, std::string& text) {
    size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string::npos) {
        size_t nameStart = pos + 1;
        size_t nameEnd = xml.find_first_of(" \t\r\n/>", nameStart);
        if (nameEnd == std::string::npos) return Found::Broken;
        std::string name = xml.substr(nameStart, nameEnd - nameStart);
        size_t colon = name.find(':');
        std::string localName = colon == std::string::npos ? name : name.substr(colon + 1);
        size_t tagEnd = xml.find('>', nameEnd);
        if (tagEnd == std::string::npos) return Found::Broken;
        if (localName != local) {
            pos = tagEnd;
            continue;
        }
        if (xml[tagEnd - 1] == '/') {
            text.clear();
            return Found::Yes;
        }
        std::string close = "</" + name + ">";
        size_t end = xml.find(close, tagEnd);
        if (end == std::string::npos) return Found::Broken;
        return Unescape(xml.substr(tagEnd + 1, end - tagEnd - 1), text) ? Found::Yes : Found::Broken;
    }
    return Found::No;
}

// A complete envelope: starts with an Envelope element and ends with its close tag.
bool CompleteEnvelope(const std::string& xml) {
    size_t open = xml.find("Envelope");
    size_t close = xml.rfind("Envelope>");
    if (open == std::string::npos || close == std::string::npos || close <= open) return false;
    size_t lt = xml.rfind('<', close);
    if (lt == std::string::npos || lt + 1 >= xml.size() || xml[lt + 1] != '/') return false;
    return xml.find_first_not_of(" \t\r\n", close + 9) == std::string::npos;
}

// An element's text without the blanks XML allows around a number or a boolean.
std::string Trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

bool ParseInt(const std::string& untrimmed, int& value) {
    const std::string text = Trimmed(untrimmed);
    if (text.empty()) return false;
    if (text.size() > 11) return false;
    // Digits with an optional sign, nothing else (strtoll would skip more blanks).
    if (text.find_first_not_of("0123456789", text[0] == '-' || text[0] == '+' ? 1 : 0) != std::string::npos)
        return false;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

SoapParse Begin(const std::string& xml) {
    if (!CompleteEnvelope(xml)) return SoapParse::Malformed;
    // A Fault element anywhere in the body (its content is markup, not text).
    for (size_t pos = xml.find("Fault"); pos != std::string::npos; pos = xml.find("Fault", pos + 1)) {
        size_t lt = xml.rfind('<', pos);
        if (lt == std::string::npos || xml[lt + 1] == '/') continue;
        std::string name = xml.substr(lt + 1, pos + 5 - lt - 1);
        bool local = name == "Fault" || (name.size() > 6 && name[name.size() - 6] == ':' &&
                                         name.find_first_of(" \t\r\n>") == std::string::npos);
        char after = pos + 5 < xml.size() ? xml[pos + 5] : '\0';
        if (local && (after == '>' || after == ' ' || after == '/')) return SoapParse::Fault;
    }
    return SoapParse::Ok;
}

}  // namespace

std::string Utf16ToUtf8(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t u = static_cast<uint32_t>(text[i]) & 0xFFFF;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size()) {
            uint32_t low = static_cast<uint32_t>(text[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        AppendUtf8(out, u);
    }
    return out;
}

std::wstring Utf8ToUtf16(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool ok = extra >= 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= text.size()) { ok = false; break; }
            unsigned char d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += extra + 1;
    }
    return out;
}

std::string XmlEscape(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string BuildReportComputerLogRequest(const std::wstring& ns, const std::wstring& email,
                                          const std::wstring& productVersion, const std::wstring& log,
                                          const std::wstring& description, int logId) {
    return Envelope("<ReportComputerLog xmlns=\"" + XmlEscape(Utf16ToUtf8(ns)) + "\">" + Element("Email", email) +
                    Element("ProductVersion", productVersion) + Element("Log", log) +
                    Element("Description", description) + "<LogID>" + std::to_string(logId) + "</LogID>" +
                    "</ReportComputerLog>");
}

std::string BuildGetStatusRequest(const std::wstring& ns, int id, const std::wstring& email) {
    return Envelope("<GetStatus xmlns=\"" + XmlEscape(Utf16ToUtf8(ns)) + "\"><ID>" + std::to_string(id) + "</ID>" +
                    Element("Email", email) + "<Comments></Comments><SolutionCommands></SolutionCommands>" +
                    "</GetStatus>");
}

SoapParse ParseReportComputerLogResponse(const std::string& xml, ReportComputerLogAnswer& out) {
    SoapParse begin = Begin(xml);
    if (begin != SoapParse::Ok) return begin;
    std::string result, id;
    if (ElementText(xml, "ReportComputerLogResult", result) != Found::Yes) return SoapParse::Malformed;
    if (ElementText(xml, "LogID", id) != Found::Yes) return SoapParse::Malformed;
    ReportComputerLogAnswer a;
    result = Trimmed(result);
    if (result == "true" || result == "1") a.result = true;
    else if (result == "false" || result == "0") a.result = false;
    else return SoapParse::Malformed;
    if (!ParseInt(id, a.logId)) return SoapParse::Malformed;
    out = a;
    return SoapParse::Ok;
}

SoapParse ParseGetStatusResponse(const std::string& xml, GetStatusAnswer& out) {
    SoapParse begin = Begin(xml);
    if (begin != SoapParse::Ok) return begin;
    std::string result, comments, commands;
    if (ElementText(xml, "GetStatusResult", result) != Found::Yes) return SoapParse::Malformed;
    GetStatusAnswer a;
    if (!ParseInt(result, a.result)) return SoapParse::Malformed;
    if (ElementText(xml, "Comments", comments) == Found::Broken) return SoapParse::Malformed;
    if (ElementText(xml, "SolutionCommands", commands) == Found::Broken) return SoapParse::Malformed;
    a.comments = Utf8ToUtf16(comments);
    a.solutionCommands = Utf8ToUtf16(commands);
    out = a;
    return SoapParse::Ok;
}
