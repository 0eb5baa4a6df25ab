// 16-bit mono sound as a WAV file image (the canonical 44-byte header, then the samples): what
// WavePlayer plays and the platform's sound calls read.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/win32.h"

std::vector<BYTE> MonoWaveImage(const short* samples, size_t count, DWORD rate);
