// Parses arbitrary text as the registry file. Whatever parses must write out as text that parses
// back to the same contents and writes out the same again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/RegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::registry::Contents contents;
    if (!contents.Parse(std::string(reinterpret_cast<const char*>(data), size))) {
        return 0;
    }
    const std::string text = contents.Serialize();
    platform::registry::Contents again;
    if (!again.Parse(text) || !(again == contents) || again.Serialize() != text) {
        std::abort();
    }
    return 0;
}
