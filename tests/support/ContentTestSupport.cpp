#include "support/ContentTestSupport.h"

#include <unistd.h>

#include "platform/kernel/WideString.h"

namespace content_test {

TempFolder::TempFolder(const std::string& name) {
    path_ = std::filesystem::path(PULSOR_BINARY_DIR) / "content-tmp" /
            (name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring TempFolder::WideFolder() const {
    return platform::FromUtf8(path_.string()) + L"/";
}

std::wstring AssetFolder(const char* name) {
    return platform::FromUtf8(
               (std::filesystem::path(PULSOR_SOURCE_DIR) / "assets" / name).string()) +
           L"/";
}

}  // namespace content_test
