// Shared helpers of the settings, skin and audio tests: temporary folders and the source tree's
// assets.
#pragma once

#include <filesystem>
#include <string>

namespace content_test {

// A fresh folder under the build tree, removed with everything in it when the object goes.
class TempFolder {
public:
    explicit TempFolder(const std::string& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder as the program sees a folder: wide, ending in the path separator.
    std::wstring WideFolder() const;

private:
    std::filesystem::path path_;
};

// The real skin and sounds of the source tree, as wide folders ending in the separator.
std::wstring AssetFolder(const char* name);

}  // namespace content_test
