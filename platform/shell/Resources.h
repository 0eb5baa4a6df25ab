// Images built into the executable from assets/resources (see cmake/EmbedResources.cmake).
#pragma once

#include <cstddef>

namespace platform {

struct EmbeddedResource {
    int id;
    int size;  // edge length of one image of an icon group, 0 for a plain bitmap
    const unsigned char* data;
    size_t length;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const int kEmbeddedResourceCount;

}  // namespace platform
