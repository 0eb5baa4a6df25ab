// Parses arbitrary text as the registry file. Whatever parses must write out as text that parses
// back to the same contents and writes out the same again; so must whatever the line-by-line
// reading keeps of a damaged file, which skips the lines it reports and nothing else.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/registry/RegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<platform::registry::Contents::Damage> damaged;
    platform::registry::Contents kept;
    if (kept.Parse(input, &damaged)) {
        platform::registry::Contents again;
        if (!again.Parse(kept.Serialize()) || !(again == kept)) {
            std::abort();
        }
    }
    platform::registry::Contents contents;
    const bool whole = contents.Parse(input);
    if (whole != damaged.empty() || (whole && !(contents == kept))) {
        std::abort();  // a file without damage reads the same either way
    }
    if (!whole) {
        return 0;
    }
    const std::string text = contents.Serialize();
    platform::registry::Contents again;
    if (!again.Parse(text) || !(again == contents) || again.Serialize() != text) {
        std::abort();
    }
    return 0;
}
