// The compiled-in skin as a host process sees it: registered when the module is loaded, with the
// files and sizes the widgets expect, and never left registered over unmapped memory.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QResource>
#include <QSvgRenderer>
#include <string>

#include "test_support.h"

namespace {

const QString kLogo = ":/VSTLogoAlpha.png";

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct SkinFile {
  const char* path;
  QSize nominal;
  bool compressed;
};

const SkinFile kSkinFiles[] = {
    {":/scrolldial/Darov/background.svg", {73, 78}, false},
    {":/scrolldial/Darov/background_hover.svg", {73, 78}, false},
    {":/scrolldial/Darov/label.svg", {32, 20}, false},
    {":/scrolldial/Darov/popup_background.svg", {73, 178}, false},
    {":/scrolldial/Darov/closebutton_normal.svg", {36, 36}, false},
    {":/scrolldial/Darov/closebutton_hovered.svg", {36, 36}, false},
    {":/scrolldial/Darov/closebutton_pressed.svg", {36, 36}, false},
    {":/scrollwheel/Darov/wheel_1.svg", {55, 189}, true},
    {":/scrollwheel/Darov/wheel_2.svg", {55, 189}, true},
    {":/scrollwheel/Darov/wheel_3.svg", {55, 189}, true},
};

// The module stays loaded for the whole executable once opened (it is linked to stay mapped),
// so it is opened once, here.
class ModuleResources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(QFile::exists(kLogo)) << "this executable must not carry the skin itself";
    module = dlopen(test_support::module_path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
  }
  static void TearDownTestSuite() {
    if (module) dlclose(module);
  }
  static void* module;
};

void* ModuleResources::module = nullptr;

TEST_F(ModuleResources, TheLogoIsAn8BitRgbaPngOfItsNominalSize) {
  const QImage logo(kLogo);
  ASSERT_FALSE(logo.isNull());
  EXPECT_EQ(logo.size(), QSize(184, 107));
  EXPECT_TRUE(logo.hasAlphaChannel());
  EXPECT_EQ(QResource(kLogo).compressionAlgorithm(), QResource::NoCompression);
  const QByteArray png = contents(kLogo);
  ASSERT_GT(png.size(), 26);
  EXPECT_EQ(png[24], char(8));  // bit depth
  EXPECT_EQ(png[25], char(6));  // colour type: truecolour with alpha
}

TEST_F(ModuleResources, EverySkinFileParsesAtItsNominalSizeAndIsStoredAsListed) {
  for (const SkinFile& file : kSkinFiles) {
    SCOPED_TRACE(file.path);
    QSvgRenderer renderer(QString(file.path));
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize(), file.nominal);
    const QResource resource(file.path);
    EXPECT_EQ(resource.compressionAlgorithm(), file.compressed ? QResource::ZlibCompression : QResource::NoCompression);
  }
}

TEST_F(ModuleResources, TheTreeHoldsTheLogoAndOneSkinPerWidgetFamily) {
  EXPECT_TRUE(QFile::exists(kLogo));
  EXPECT_EQ(QDir(":/scrolldial").entryList(), QStringList{"Darov"});
  EXPECT_EQ(QDir(":/scrollwheel").entryList(), QStringList{"Darov"});
  EXPECT_EQ(QDir(":/scrollwheel/Darov").entryList(), (QStringList{"wheel_1.svg", "wheel_2.svg", "wheel_3.svg"}));
}

TEST(ModuleClose, TheSkinIsNeverLeftRegisteredOverUnmappedMemory) {
  void* module = dlopen(test_support::module_path().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  const QByteArray before = contents(kLogo);
  ASSERT_FALSE(before.isEmpty());
  ASSERT_EQ(dlclose(module), 0);
  // The module is linked to stay mapped after its last close, and then the collection stays
  // registered; were it unmapped, the collection must have left with it.
  if (QFile::exists(kLogo)) {
    EXPECT_EQ(contents(kLogo), before);
  }
}

}  // namespace
