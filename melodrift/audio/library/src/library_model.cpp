// The file list, the library tree and the choice.
#include "library/library_model.h"

#include "xml/enxml.h"

#include <fstream>
#include <iterator>

namespace library {

namespace {

bool IdInList(const enXml& element, const FileList& files, std::size_t& index)
{
    std::int32_t id = -1;
    if (!element.GetAttributeInt(L"id", id) || id < 0 || static_cast<std::size_t>(id) >= files.size()) {
        return false;
    }
    index = static_cast<std::size_t>(id);
    return true;
}

void BuildItems(const enXml& parent, const FileList& files, int depth, std::vector<TreeItem>& out)
{
    if (depth > kMaxTreeDepth) {
        return;
    }
    for (const enXml* child = parent.FirstChild(); child; child = child->NextSibling()) {
        if (child->Name().empty()) {
            continue;   // comments and text
        }
        TreeItem item;
        if (child->Name() == L"t") {
            std::size_t index = 0;
            if (!IdInList(*child, files, index)) {
                continue;
            }
            item.text = files[index];
            item.element = child;
        } else {
            child->GetAttribute(L"Name", item.text);
            if (child->Name() == L"playlist") {
                item.element = child;
            }
            BuildItems(*child, files, depth + 1, item.children);
        }
        out.push_back(std::move(item));
    }
}

}  // namespace

FileList ParseFileList(std::string_view bytes)
{
    FileList files;
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE) {
        return files;
    }
    std::wstring line;
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 1; i <= units; ++i) {
        wchar_t c = 0;
        if (i < units) {
            c = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        }
        const bool end = i == units || c == L'\r' || c == L'\n' || c == 0;
        if (!end) {
            line.push_back(c);
            continue;
        }
        if (!line.empty()) {
            files.push_back(std::move(line));
            line.clear();
        }
        // CR LF is one line end.
        if (c == L'\r' && i + 1 < units && bytes[2 * (i + 1)] == '\n' && bytes[2 * (i + 1) + 1] == 0) {
            ++i;
        }
    }
    return files;
}

FileList LoadFileList(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return {};
    }
    return ParseFileList(bytes);
}

std::vector<TreeItem> BuildTree(const enXml& root, const FileList& files)
{
    std::vector<TreeItem> items;
    BuildItems(root, files, 1, items);
    return items;
}

bool Choose(const TreeItem* item, const FileList& files, std::vector<std::wstring>& chosen)
{
    if (!item || !item->element) {
        return false;
    }
    std::size_t index = 0;
    if (IdInList(*item->element, files, index)) {
        chosen.push_back(files[index]);
    }
    return true;
}

}  // namespace library
