// The native half of the XML benchmark.
//   generate <file> [bytes]        writes the skin-like document (our writer's format)
//   measure <file> <runs> <folder>  best-of-runs load (and the first, cold one) and save with pugixml, and the
//                                   enXml reader (file read included) and writer on
//                                   the same document, natively
// Prints key=value lines for run.sh.
#include "skin_document.h"

#include "pugixml_units.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using mdxml_test::Utf16Units;

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The file's bytes in one buffer of its size, kept from round to round as
// enXml::Load keeps the buffer of the last file it read.
std::string_view ReadAll(const char* path) {
    static std::string bytes;
    bytes.clear();
    if (std::FILE* file = std::fopen(path, "rb")) {
        if (std::fseek(file, 0, SEEK_END) == 0) {
            const long size = std::ftell(file);
            if (size > 0)
                bytes.reserve(static_cast<std::size_t>(size));
            std::rewind(file);
        }
        char buffer[1 << 16];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, got);
        std::fclose(file);
    }
    return bytes;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::size_t CountElements(const enXml& root) {
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


std::unique_ptr<enXml> FromPugi(const pugi::xml_node& element) {
    auto root = std::make_unique<enXml>(Utf16Units(element.name()));
    std::vector<std::pair<pugi::xml_node, enXml*>> pending{{element, root.get()}};
    while (!pending.empty()) {
        auto [source, target] = pending.back();
        pending.pop_back();
        for (pugi::xml_attribute a : source.attributes())
            target->AppendAttribute(Utf16Units(a.name()), Utf16Units(a.value()));
        for (pugi::xml_node child = source.first_child(); child; child = child.next_sibling()) {
            auto* node = new enXml(child.type() == pugi::node_element ? Utf16Units(child.name()) : std::wstring());
            target->AddChild(node);
            if (child.type() == pugi::node_element)
                pending.push_back({child, node});
        }
    }
    return root;
}

int Generate(const char* path, std::size_t bytes) {
    std::unique_ptr<enXml> skin = BuildSkinDocument(bytes);
    std::string text;
    if (!skin->SaveToBuffer(text) || !WriteFile(path, text)) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    std::printf("document_bytes=%zu\nelements=%zu\n", text.size(), CountElements(*skin));
    return 0;
}

int Measure(const char* path, int runs, const std::string& folder) {
    double bestLoad = 1e300, bestSave = 1e300, bestWriter = 1e300, bestReader = 1e300;
    double firstLoad = 0.0;   // the first (cold) load: nothing of the document in memory yet
    std::size_t elements = 0;
    const std::string pugiOut = folder + "/pugixml-out.xml";
    const std::string writerOut = folder + "/enxml-native-out.xml";
    for (int run = 0; run < runs; ++run) {
        pugi::xml_document document;
        const Clock::time_point t0 = Clock::now();
        const pugi::xml_parse_result parsed = document.load_file(path, pugi::parse_default, pugi::encoding_auto);
        const Clock::time_point t1 = Clock::now();
        if (!parsed) {
            std::fprintf(stderr, "pugixml: %s\n", parsed.description());
            return 1;
        }
        const bool saved = document.save_file(pugiOut.c_str(), "\t", pugi::format_indent | pugi::format_write_bom,
                                              pugi::encoding_utf16_le);
        const Clock::time_point t2 = Clock::now();
        if (!saved) {
            std::fprintf(stderr, "pugixml: cannot save\n");
            return 1;
        }
        if (run == 0) {
            firstLoad = Milliseconds(t0, t1);
        }
        bestLoad = std::min(bestLoad, Milliseconds(t0, t1));
        bestSave = std::min(bestSave, Milliseconds(t1, t2));

        // The same tree through the enXml writer, built untimed from pugixml's.
        std::unique_ptr<enXml> tree = FromPugi(document.document_element());
        elements = CountElements(*tree);
        std::string bytes;
        const Clock::time_point t3 = Clock::now();
        if (!tree->SaveToBuffer(bytes) || !WriteFile(writerOut, bytes)) {
            std::fprintf(stderr, "enXml writer failed\n");
            return 1;
        }
        const Clock::time_point t4 = Clock::now();
        bestWriter = std::min(bestWriter, Milliseconds(t3, t4));
    }
    // The reader in rounds of its own, so that its trees do not change what
    // the writers above find in memory.
    for (int run = 0; run < runs; ++run) {
        enXml read;
        const Clock::time_point t5 = Clock::now();
        const bool loaded = read.LoadFromBuffer(ReadAll(path));
        const Clock::time_point t6 = Clock::now();
        if (!loaded || CountElements(read) != elements) {
            std::fprintf(stderr, "enXml reader failed\n");
            return 1;
        }
        bestReader = std::min(bestReader, Milliseconds(t5, t6));
    }
    std::printf("pugixml_load_ms=%.3f\npugixml_first_load_ms=%.3f\npugixml_save_ms=%.3f\nenxml_native_save_ms=%.3f\n"
                "enxml_native_load_ms=%.3f\nnodes=%zu\n",
                bestLoad, firstLoad, bestSave, bestWriter, bestReader, elements);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "generate") == 0)
        return Generate(argv[2], argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 5u * 1024 * 1024);
    if (argc >= 5 && std::strcmp(argv[1], "measure") == 0)
        return Measure(argv[2], std::max(1, std::atoi(argv[3])), argv[4]);
    std::fprintf(stderr, "usage: %s generate <file> [bytes] | measure <file> <runs> <folder>\n", argv[0]);
    return 2;
}
