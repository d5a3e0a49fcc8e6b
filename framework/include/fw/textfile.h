// UTF-16LE text files, with or without a byte-order mark. Platform-neutral:
// the text is a std::wstring of UTF-16 code units on every platform, and the
// file always holds little-endian 16-bit units whatever the machine.
//
// Every operation answers with a result and never throws. A write that
// replaces a file goes to a temporary file in the same folder first, which is
// then renamed over the target: a failure leaves the old file as it was.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fw {

enum class TextFileResult {
    Ok,
    NotFound,    // no such file, or a folder stands in its place
    ReadError,   // the file could not be opened or read
    OddLength,   // the file ends in half a code unit: not UTF-16 text
    WriteError,  // the file (or its temporary) could not be written or renamed
};

// Reads the whole file. A leading byte-order mark (FF FE) is removed from the
// text and reported in `hadBom` (when given). On failure `text` is left empty.
TextFileResult ReadUtf16File(const std::filesystem::path& path, std::wstring& text, bool* hadBom = nullptr);

// Convenience form: true when the file was read.
inline bool ReadUtf16Text(const std::filesystem::path& path, std::wstring& text, bool* hadBom = nullptr) {
    return ReadUtf16File(path, text, hadBom) == TextFileResult::Ok;
}

// Writes the text as the file's whole content, with a byte-order mark first
// when `withBom` is set. The file is replaced as a whole or not at all.
bool WriteUtf16File(const std::filesystem::path& path, std::wstring_view text, bool withBom);

// Appends the text at the end of the file. A missing file is created first,
// with a byte-order mark when `bomIfNew` is set. A file of odd length (not
// UTF-16 text) is left untouched and the call fails.
bool AppendUtf16File(const std::filesystem::path& path, std::wstring_view text, bool bomIfNew = false);

// Encodes the text as UTF-16LE bytes / decodes such bytes (the byte count must
// be even; a leading byte-order mark is not treated specially here).
std::string EncodeUtf16Le(std::wstring_view text);
bool DecodeUtf16Le(std::string_view bytes, std::wstring& text);

}  // namespace fw
