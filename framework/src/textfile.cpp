#include "fw/textfile.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <new>
#include <system_error>

namespace fw {

namespace fs = std::filesystem;

std::string EncodeUtf16Le(std::wstring_view text) {
    std::string bytes;
    bytes.resize(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned u = static_cast<unsigned>(text[i]) & 0xFFFFu;
        bytes[2 * i] = static_cast<char>(u & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(u >> 8);
    }
    return bytes;
}

bool DecodeUtf16Le(std::string_view bytes, std::wstring& text) {
    text.clear();
    if (bytes.size() % 2 != 0) return false;
    text.resize(bytes.size() / 2);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return true;
}

namespace {

const char kBom[2] = {'\xFF', '\xFE'};

bool ReadAllBytes(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    if (!ec && size < (static_cast<std::uintmax_t>(1) << 30)) bytes.reserve(static_cast<std::size_t>(size));
    char chunk[65536];
    while (in) {
        in.read(chunk, sizeof chunk);
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    return in.eof() && !in.bad();
}

// A name in the target's folder that no other writer uses at the same time.
fs::path TemporaryBeside(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    unsigned long long local = reinterpret_cast<std::uintptr_t>(&ticks);
    for (;;) {
        unsigned n = counter.fetch_add(1);
        std::string suffix = ".~" + std::to_string((ticks ^ (local << 16)) % 1000000007ull) + "_" +
                             std::to_string(n) + ".tmp";
        fs::path candidate = target;
        candidate += suffix;
        std::error_code ec;
        if (!fs::exists(candidate, ec)) return candidate;
    }
}

bool WriteBytes(const fs::path& path, std::ios::openmode mode, std::string_view a, std::string_view b) {
    std::ofstream out(path, std::ios::binary | mode);
    if (!out) return false;
    out.write(a.data(), static_cast<std::streamsize>(a.size()));
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
    out.flush();
    bool ok = static_cast<bool>(out);
    out.close();
    return ok && !out.fail();
}

}  // namespace

TextFileResult ReadUtf16File(const fs::path& path, std::wstring& text, bool* hadBom) {
    text.clear();
    if (hadBom) *hadBom = false;
    try {
        std::error_code ec;
        fs::file_status st = fs::status(path, ec);
        if (ec || !fs::exists(st) || fs::is_directory(st)) return TextFileResult::NotFound;
        std::string bytes;
        if (!ReadAllBytes(path, bytes)) return TextFileResult::ReadError;
        if (bytes.size() % 2 != 0) return TextFileResult::OddLength;
        std::string_view view(bytes);
        bool bom = view.size() >= 2 && view[0] == kBom[0] && view[1] == kBom[1];
        if (bom) view.remove_prefix(2);
        DecodeUtf16Le(view, text);
        if (hadBom) *hadBom = bom;
        return TextFileResult::Ok;
    } catch (const std::bad_alloc&) {
        text.clear();
        return TextFileResult::ReadError;
    }
}

bool WriteUtf16File(const fs::path& path, std::wstring_view text, bool withBom) {
    try {
        std::error_code ec;
        if (fs::is_directory(path, ec)) return false;
        std::string bytes = EncodeUtf16Le(text);
        fs::path temp = TemporaryBeside(path);
        if (!WriteBytes(temp, std::ios::trunc, withBom ? std::string_view(kBom, 2) : std::string_view(), bytes)) {
            fs::remove(temp, ec);
            return false;
        }
        fs::rename(temp, path, ec);
        if (ec) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool AppendUtf16File(const fs::path& path, std::wstring_view text, bool bomIfNew) {
    try {
        std::error_code ec;
        fs::file_status st = fs::status(path, ec);
        if (!fs::exists(st)) return WriteUtf16File(path, text, bomIfNew);
        if (!fs::is_regular_file(st)) return false;
        auto size = fs::file_size(path, ec);
        if (ec || size % 2 != 0) return false;
        return WriteBytes(path, std::ios::app, std::string_view(), EncodeUtf16Le(text));
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace fw
