#pragma once

// A whiteboard page as a user would save it: a 634 x 400 PNG picture,
// written here without any picture library (one bit per pixel, the image
// data in stored deflate blocks), different for each seed so that a page
// read back can be told from the one before.

#include <cstdint>
#include <string>

namespace loadgen {

std::string MakePagePng(uint32_t seed);

// The checksums PNG and zlib use.
uint32_t Crc32(const uint8_t* bytes, size_t n, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* bytes, size_t n);

}  // namespace loadgen
