// Exact comparison of a rendered picture with a committed reference PNG. The references are
// rewritten only when PULSOR_UPDATE_GOLDEN=1 is set in the environment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace content_test {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top-down
};

// A live bitmap's pixels; an empty picture for a bad handle.
Picture PictureOf(HBITMAP bitmap);

bool WritePng(const std::string& path, const Picture& picture);
bool ReadPng(const std::string& path, Picture* picture);

// Compares `picture` with tests/content/golden/<name>.png. On a mismatch the rendered picture is
// written to <build>/golden-out/<name>.png and the result explains the difference. With
// PULSOR_UPDATE_GOLDEN=1 the reference is rewritten instead and the comparison passes.
std::string CompareWithGolden(const std::string& name, const Picture& picture);

}  // namespace content_test
