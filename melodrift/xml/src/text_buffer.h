// Buffers for the text of documents being read. A buffer takes over one that
// an earlier reading left behind and leaves its own for the next: reading a
// document of the same size again finds its memory ready, where a fresh block
// of megabytes costs more in new pages than reading into it (the system heap
// gives large blocks fresh pages every time). Two buffers are kept (a file's
// bytes and their decoded text), each of at most kKeptUnits units.
#pragma once

#include <cstddef>
#include <string>

namespace mdxml {

class TextBuffer {
public:
    static constexpr std::size_t kKeptUnits = 4 * 1024 * 1024;

    TextBuffer();
    ~TextBuffer();
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    std::wstring units;  // empty; with the capacity of the buffer taken over
};

}  // namespace mdxml
