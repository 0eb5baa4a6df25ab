// The process entry lands with the headless device; until then the executable only says so.
#include <cstdio>

int main() {
    std::fprintf(stderr, "pulsor: no device is built yet\n");
    return 1;
}
