// The content tests' references live in tests/content/golden.
#pragma once

#include "support/GoldenImage.h"

namespace content_test {

using golden::Picture;
using golden::PictureOf;
using golden::ReadPng;
using golden::WritePng;

inline std::string CompareWithGolden(const std::string& name, const Picture& picture) {
    return golden::CompareWithGolden("tests/content/golden", name, picture);
}

}  // namespace content_test
