// Paths of the running program and its modules, and joining of Windows paths.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace fw {

// The full path of a module's file (the program's when module is null), of any length.
std::wstring GetModulePath(HMODULE module = nullptr);
// The folder of a module's file, without a trailing backslash.
std::wstring GetModuleFolder(HMODULE module = nullptr);

// Joins with exactly one backslash between the parts (either may already end
// or begin with '\' or '/'); an empty part gives the other one unchanged.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);
// The part before the last '\' or '/' (empty when there is none).
std::wstring GetFolderPart(std::wstring_view path);
// The part after the last '\' or '/'.
std::wstring GetFileNamePart(std::wstring_view path);
// The file name without its extension.
std::wstring GetFileTitle(std::wstring_view path);

}  // namespace fw
