// zaltrim-host edit under Xvfb: the editor embedded in the host's own window, pictured in a PNG
// of exactly the panel's size, with the panel's border and gradient where they belong.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "vst_host.h"

namespace {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;

  const unsigned char* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

Picture read_png(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  Picture picture;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
  }
  png_image_free(&image);
  return picture;
}

ERect panel_rect() {
  zhost::Module module(test_support::module_path());
  zhost::Host host;
  zhost::Plugin plugin(module, host);
  ERect* rect = nullptr;
  plugin.dispatch(effEditGetRect, 0, 0, &rect);
  return rect ? *rect : ERect{};
}

void expect_colour(const unsigned char* pixel, int r, int g, int b, const char* where) {
  EXPECT_NEAR(pixel[0], r, 10) << where;
  EXPECT_NEAR(pixel[1], g, 10) << where;
  EXPECT_NEAR(pixel[2], b, 10) << where;
}

std::string host() { return test_support::build_dir() + "/zaltrim-host"; }

TEST(EditCommand, ScreenshotShowsThePanelFillingTheHostWindow) {
  const std::string path = ::testing::TempDir() + "editor_screenshot.png";
  std::remove(path.c_str());
  const auto result = test_support::run_command(host() + " edit --gain 0.5 --oversampling 8 --screenshot " + path +
                                                " --after-ms 700 --close-after-ms 1000");
  ASSERT_EQ(result.status, 0) << result.output;

  const Picture picture = read_png(path);
  const ERect rect = panel_rect();
  ASSERT_GT(rect.right, 0);
  EXPECT_EQ(picture.width, rect.right);
  EXPECT_EQ(picture.height, rect.bottom);
  if (picture.width == 0) return;

  const int middle = picture.width / 2;
  expect_colour(picture.at(middle, 0), 180, 180, 180, "top border");
  expect_colour(picture.at(middle, 3), 116, 116, 118, "top of the gradient");
  expect_colour(picture.at(middle, picture.height - 4), 59, 57, 60, "bottom of the gradient");
}

TEST(EditCommand, ClosingBeforeTheScreenshotIsAnError) {
  const std::string path = ::testing::TempDir() + "editor_never.png";
  std::remove(path.c_str());
  const auto result =
      test_support::run_command(host() + " edit --screenshot " + path + " --after-ms 500 --close-after-ms 100");
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_EQ(read_png(path).width, 0) << "no picture is written";
}

TEST(EditCommand, UnknownOptionIsAUsageError) {
  const auto result = test_support::run_command(host() + " edit --colour blue");
  EXPECT_EQ(result.status, 2) << result.output;
  EXPECT_NE(result.output.find("--colour"), std::string::npos) << result.output;
}

}  // namespace
