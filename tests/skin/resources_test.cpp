// The resource set compiled into the installer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "skin/skin_image.h"
#include "tests/support/test_files.h"

namespace {

class InstallerResources : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = HostPathFromEnvironment("ZV_INSTALLER");
    ASSERT_FALSE(path.empty());
    module_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << path;
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_F(InstallerResources, SkinImagesHaveTheirSizesChannelsAndNoKeyColour) {
  struct Expected {
    WORD id;
    int width, height, bits;
  };
  const Expected images[] = {{154, 503, 364, 32}, {156, 140, 32, 32}, {163, 140, 32, 32}, {158, 192, 12, 24},
                             {162, 288, 12, 32},  {159, 332, 23, 24}, {160, 332, 23, 24}, {161, 332, 23, 24},
                             {164, 332, 23, 24},  {171, 332, 23, 24}, {172, 303, 22, 32}, {174, 161, 282, 32},
                             {175, 27, 21, 24},   {176, 501, 62, 32}};
  const WORD chinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
  for (const Expected& e : images) {
    HRSRC resource = FindResourceExA(module_, "PNG", MAKEINTRESOURCEA(e.id), chinese);
    ASSERT_NE(resource, nullptr) << e.id;
    SkinImage image;
    LoadResourceImage(module_, resource, image);
    ASSERT_TRUE(image.IsLoaded()) << e.id;
    EXPECT_EQ(image.Width(), e.width) << e.id;
    EXPECT_EQ(image.Height(), e.height) << e.id;
    EXPECT_EQ(image.BitsPerPixel(), e.bits) << e.id;
    EXPECT_EQ(image.HasAlpha(), e.bits == 32) << e.id;
    int keyPixels = 0;
    HDC dc = image.AcquireDC();
    for (int y = 0; y < image.Height(); ++y) {
      for (int x = 0; x < image.Width(); ++x) keyPixels += GetPixel(dc, x, y) == SKIN_KEY_COLOR;
    }
    image.ReturnDC();
    EXPECT_EQ(keyPixels, 0) << e.id;
  }
}

TEST_F(InstallerResources, IconsAcceleratorsAndManifest) {
  EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(107), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
  EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(108), MAKEINTRESOURCEA(14)), nullptr);

  HACCEL table = LoadAcceleratorsA(module_, MAKEINTRESOURCEA(109));
  ASSERT_NE(table, nullptr);
  ACCEL entries[8];
  const int count = CopyAcceleratorTableA(table, entries, 8);
  ASSERT_EQ(count, 2);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(entries[i].cmd, 104);
    EXPECT_EQ(entries[i].fVirt & (FALT | FVIRTKEY), FALT);  // Alt with a character code
  }
  EXPECT_EQ(entries[0].key, '?');
  EXPECT_EQ(entries[1].key, '/');

  HRSRC manifestResource = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(manifestResource, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(module_, manifestResource)));
  const std::string manifest(bytes, SizeofResource(module_, manifestResource));
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
}

}  // namespace
