#include "platform/device/Fingers.h"

namespace platform {

bool Fingers::Down(int64_t key, bool penFree, Finger* finger) {
    if (Find(key, nullptr)) {
        return false;
    }
    const bool primary = penFree && Count() == 0;
    for (int i = 0; i < kMax; ++i) {
        if (!slots_[i].used) {
            slots_[i] = Entry{true, key, primary};
            if (finger) {
                *finger = Finger{static_cast<UINT>(i), primary};
            }
            return true;
        }
    }
    return false;  // an eleventh finger is ignored until one lifts
}

bool Fingers::Find(int64_t key, Finger* finger) const {
    for (int i = 0; i < kMax; ++i) {
        if (slots_[i].used && slots_[i].key == key) {
            if (finger) {
                *finger = Finger{static_cast<UINT>(i), slots_[i].primary};
            }
            return true;
        }
    }
    return false;
}

bool Fingers::Slot(UINT id, int64_t* key, Finger* finger) const {
    if (id >= static_cast<UINT>(kMax) || !slots_[id].used) {
        return false;
    }
    *key = slots_[id].key;
    *finger = Finger{id, slots_[id].primary};
    return true;
}

void Fingers::Up(int64_t key) {
    for (Entry& e : slots_) {
        if (e.used && e.key == key) {
            e = Entry{};
        }
    }
}

int Fingers::Count() const {
    int n = 0;
    for (const Entry& e : slots_) {
        n += e.used ? 1 : 0;
    }
    return n;
}

}  // namespace platform
