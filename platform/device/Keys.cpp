#include "platform/device/Keys.h"

#include <strings.h>

namespace platform {
namespace {

const KeyInfo kKeys[] = {
    {"A", 4, 0x1E, 'A'},
    {"B", 5, 0x30, 'B'},
    {"C", 6, 0x2E, 'C'},
    {"D", 7, 0x20, 'D'},
    {"E", 8, 0x12, 'E'},
    {"F", 9, 0x21, 'F'},
    {"G", 10, 0x22, 'G'},
    {"H", 11, 0x23, 'H'},
    {"I", 12, 0x17, 'I'},
    {"J", 13, 0x24, 'J'},
    {"K", 14, 0x25, 'K'},
    {"L", 15, 0x26, 'L'},
    {"M", 16, 0x32, 'M'},
    {"N", 17, 0x31, 'N'},
    {"O", 18, 0x18, 'O'},
    {"P", 19, 0x19, 'P'},
    {"Q", 20, 0x10, 'Q'},
    {"R", 21, 0x13, 'R'},
    {"S", 22, 0x1F, 'S'},
    {"T", 23, 0x14, 'T'},
    {"U", 24, 0x16, 'U'},
    {"V", 25, 0x2F, 'V'},
    {"W", 26, 0x11, 'W'},
    {"X", 27, 0x2D, 'X'},
    {"Y", 28, 0x15, 'Y'},
    {"Z", 29, 0x2C, 'Z'},
    {"1", 30, 0x02, '1'},
    {"2", 31, 0x03, '2'},
    {"3", 32, 0x04, '3'},
    {"4", 33, 0x05, '4'},
    {"5", 34, 0x06, '5'},
    {"6", 35, 0x07, '6'},
    {"7", 36, 0x08, '7'},
    {"8", 37, 0x09, '8'},
    {"9", 38, 0x0A, '9'},
    {"0", 39, 0x0B, '0'},
    {"Return", 40, 0x1C, VK_RETURN},
    {"Escape", 41, 0x01, VK_ESCAPE},
    {"Backspace", 42, 0x0E, VK_BACK},
    {"Tab", 43, 0x0F, VK_TAB},
    {"Space", 44, 0x39, VK_SPACE},
    {"F1", 58, 0x3B, VK_F1},
    {"F2", 59, 0x3C, VK_F1 + 1},
    {"F3", 60, 0x3D, VK_F1 + 2},
    {"F4", 61, 0x3E, VK_F1 + 3},
    {"F5", 62, 0x3F, VK_F1 + 4},
    {"F6", 63, 0x40, VK_F1 + 5},
    {"F7", 64, 0x41, VK_F1 + 6},
    {"F8", 65, 0x42, VK_F1 + 7},
    {"F9", 66, 0x43, VK_F1 + 8},
    {"F10", 67, 0x44, VK_F1 + 9},
    {"F11", 68, 0x57, VK_F1 + 10},
    {"F12", 69, 0x58, VK_F1 + 11},
    {"Right", 79, KF_EXTENDED | 0x4D, VK_RIGHT},
    {"Left", 80, KF_EXTENDED | 0x4B, VK_LEFT},
    {"Down", 81, KF_EXTENDED | 0x50, VK_DOWN},
    {"Up", 82, KF_EXTENDED | 0x48, VK_UP},
    {"Left Ctrl", 224, 0x1D, VK_CONTROL},
    {"Left Shift", 225, 0x2A, VK_SHIFT},
    {"Right Ctrl", 228, KF_EXTENDED | 0x1D, VK_CONTROL},
    {"Right Shift", 229, 0x36, VK_SHIFT},
};

// Short names for the keys there are two of: the left one.
const struct {
    const char* alias;
    const char* name;
} kAliases[] = {{"Ctrl", "Left Ctrl"}, {"Shift", "Left Shift"}};

}  // namespace

const KeyInfo* KeyByName(const std::string& given) {
    std::string name = given;
    for (const auto& alias : kAliases) {
        if (strcasecmp(alias.alias, given.c_str()) == 0) {
            name = alias.name;
        }
    }
    for (const KeyInfo& key : kKeys) {
        if (strcasecmp(key.name, name.c_str()) == 0) {
            return &key;
        }
    }
    return nullptr;
}

const KeyInfo* KeyByUsage(int usage) {
    for (const KeyInfo& key : kKeys) {
        if (key.usage == usage) {
            return &key;
        }
    }
    return nullptr;
}

const KeyInfo* KeyByScancode(UINT scancode) {
    for (const KeyInfo& key : kKeys) {
        if (key.scancode == scancode) {
            return &key;
        }
    }
    return nullptr;
}

}  // namespace platform
