// The Windows half of the XML benchmark, run under Wine:
//   measure <file> <runs> <folder>
// best-of-runs Load (file read, decoding, our reader building the enXml tree; the first,
// cold one too) and Save (writer
// and file replace) of the document. Since the document was written by the same
// writer, the saved file must equal it byte for byte; "identical" says whether it does.
// Prints key=value lines for run.sh.
#include "xml/enxml.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    out.resize(out.size() - 1);
    return out;
}

std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[1 << 16];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::size_t CountNodes(const enXml& root) {
    std::size_t count = 0;
    std::vector<const enXml*> pending{&root};
    while (!pending.empty()) {
        const enXml* node = pending.back();
        pending.pop_back();
        ++count;
        for (const enXml* child = node->FirstChild(); child; child = child->NextSibling())
            pending.push_back(child);
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::string(argv[1]) != "measure") {
        std::fprintf(stderr, "usage: %s measure <file> <runs> <folder>\n", argv[0]);
        return 2;
    }
    const std::wstring path = Wide(argv[2]);
    const int runs = std::max(1, std::atoi(argv[3]));
    const std::wstring out = Wide(argv[4]) + L"\\enxml-out.xml";

    double bestLoad = 1e300, bestSave = 1e300;
    double firstLoad = 0.0;   // the first (cold) load: nothing of the document in memory yet
    std::size_t nodes = 0;
    // Loads in rounds of their own, then saves of the document read: each
    // finds the memory as its own previous round left it.
    std::unique_ptr<enXml> document;
    for (int run = 0; run < runs; ++run) {
        document.reset();
        document = std::make_unique<enXml>();
        const Clock::time_point t0 = Clock::now();
        enXmlLoadError error = enXmlLoadError::None;
        if (!document->Load(path, &error)) {
            std::fprintf(stderr, "Load failed (%d)\n", static_cast<int>(error));
            return 1;
        }
        const double load = Milliseconds(t0, Clock::now());
        if (run == 0) {
            firstLoad = load;
        }
        bestLoad = std::min(bestLoad, load);
    }
    nodes = CountNodes(*document);
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point t1 = Clock::now();
        if (!document->Save(out)) {
            std::fprintf(stderr, "Save failed\n");
            return 1;
        }
        bestSave = std::min(bestSave, Milliseconds(t1, Clock::now()));
    }
    const bool identical = ReadAll(path) == ReadAll(out);
    std::printf("enxml_load_ms=%.3f\nenxml_first_load_ms=%.3f\nenxml_save_ms=%.3f\nnodes=%u\nidentical=%d\n",
                bestLoad, firstLoad, bestSave, static_cast<unsigned>(nodes), identical ? 1 : 0);
    return identical ? 0 : 1;
}
