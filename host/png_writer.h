// Writing 8-bit RGB pictures as PNG files, with libpng.
#pragma once

#include <string>
#include <vector>

namespace zhost {

struct RgbImage {
  int width;
  int height;
  std::vector<unsigned char> pixels;  // rows top to bottom, 3 bytes a pixel
};

// Throws a HostError naming the file when it cannot be written.
void write_png(const std::string& path, const RgbImage& image);

}  // namespace zhost
