#include "png_writer.h"

#include <png.h>

#include <cstring>

#include "vst_host.h"

namespace zhost {

void write_png(const std::string& path, const RgbImage& image) {
  png_image png;
  std::memset(&png, 0, sizeof(png));
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  const bool written = png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr) != 0;
  const std::string reason = png.message;
  png_image_free(&png);
  if (!written) throw HostError("cannot write '" + path + "': " + reason);
}

}  // namespace zhost
