// Screenshots for tests: a window as it is on the (virtual) screen, written as
// PNG (or BMP when the file name ends in .bmp).
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fw::testing {

// Pixels of an image, top row first, 0xAARRGGBB per pixel (alpha unused).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The window as it has drawn itself, frame included.
bool CaptureWindow(HWND hwnd, Image& image);
bool SaveImage(const Image& image, const std::filesystem::path& file);
bool SaveWindowScreenshot(HWND hwnd, const std::filesystem::path& file);

// <build folder>/screenshots/<name>: the build folder is the nearest folder
// above the running program that holds CMakeCache.txt (the program's own
// folder when there is none). The screenshots folder is created.
std::filesystem::path ScreenshotPath(const std::wstring& name);

}  // namespace fw::testing
