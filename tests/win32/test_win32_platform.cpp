// The Win32 platform layer: the dialog records exactly as the common dialogs
// get them, and the temporary files in the user's temporary folder.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "imagefiles/image_files.h"
#include "platform/platform_win32.h"

namespace {

// The filter string as the dialog reads it: pairs split at NULs, up to the
// empty string that ends the list.
std::vector<std::string> FilterParts(const char* p) {
  std::vector<std::string> parts;
  while (*p) {
    parts.emplace_back(p);
    p += parts.back().size() + 1;
  }
  return parts;
}

TEST(DialogRecord, OpenDialogHasTheOldestLayoutAndOnlyMustExist) {
  char file[platform::kDialogFileBuffer] = {0};
  std::string filter = platform::Win32Filter(LoadImageFilters());
  OPENFILENAMEA ofn = platform::DialogRecord(false, kLoadImageTitle, filter, file);
  EXPECT_EQ(ofn.lStructSize, 76u);
  EXPECT_EQ(ofn.hwndOwner, nullptr);
  EXPECT_EQ(ofn.nFilterIndex, 1u);
  EXPECT_EQ(ofn.lpstrFile, file);
  EXPECT_EQ(ofn.nMaxFile, 1024u);
  EXPECT_EQ(ofn.lpstrFileTitle, nullptr);
  EXPECT_EQ(ofn.lpstrInitialDir, nullptr);
  EXPECT_EQ(ofn.lpstrDefExt, nullptr);
  EXPECT_EQ(ofn.lpstrCustomFilter, nullptr);
  EXPECT_STREQ(ofn.lpstrTitle, "Load Image file");
  EXPECT_EQ(ofn.Flags, static_cast<DWORD>(OFN_FILEMUSTEXIST));

  std::vector<std::string> parts = FilterParts(ofn.lpstrFilter);
  ASSERT_EQ(parts.size(), 14u);
  EXPECT_EQ(parts[0], "All supported image files");
  EXPECT_EQ(parts[1],
            "*.bmp;*.jpg;*.jpeg;*.tga;*.psd;*.tif;*.tiff;*.ras;*.pct;*.pcd;*.pbm;*.pcx;*.png;"
            "*.pgm;*.ppm;*.pnm;*.iff;*.lbm;*.xpm;*.xbm;*.wbmp;*.ico;*.koa");
  EXPECT_EQ(parts[2], "Common Files (*.jpg,*.bmp,*.tga,*.png,*.xpm)");
  EXPECT_EQ(parts[3], "*.bmp;*.jpg;*.jpeg;*.tga;*.png;*.xpm");
  EXPECT_EQ(parts[12], "Photoshop only(*.psd)");
  EXPECT_EQ(parts[13], "*.psd");
  // Exactly one extra NUL closes the list.
  EXPECT_EQ(filter.size(), [&] {
    std::size_t n = 1;
    for (const std::string& s : parts) n += s.size() + 1;
    return n;
  }());
}

TEST(DialogRecord, SaveDialogsOnlyPromptBeforeOverwriting) {
  char file[platform::kDialogFileBuffer] = {0};
  std::string filter = platform::Win32Filter(SaveImageFilters());
  OPENFILENAMEA ofn = platform::DialogRecord(true, kSaveImageTitle, filter, file);
  EXPECT_EQ(ofn.lStructSize, 76u);
  EXPECT_EQ(ofn.Flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT));
  EXPECT_EQ(ofn.lpstrDefExt, nullptr);
  std::vector<std::string> parts = FilterParts(ofn.lpstrFilter);
  ASSERT_EQ(parts.size(), 14u);
  const char* want[] = {"Bitmap file(*.bmp)", "*.bmp", "Jpeg file(*.jpg)", "*.jpg",
                        "Targa file(*.tga)", "*.tga", "Tagged image format(*.tiff)", "*.tiff",
                        "Portable network graphics(*.png)", "*.png",
                        "X11 pixmap format(*.xpm)", "*.xpm", "Photoshop(*.psd)", "*.psd"};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(parts[i], want[i]) << i;

  std::string qmf = platform::Win32Filter({{"QMF files(*.qmf)", "*.qmf"}});
  EXPECT_EQ(qmf, std::string("QMF files(*.qmf)\0*.qmf\0\0", 24));
}

TEST(MessageBoxes, HaveAnOkButtonAndTheirIcon) {
  EXPECT_EQ(platform::MessageBoxType(platform::MessageIcon::Information),
            static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(platform::MessageBoxType(platform::MessageIcon::Exclamation),
            static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
}

TEST(TempFiles, AreUniqueLandFilesInTheTemporaryFolderAndRemovable) {
  char dir[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof(dir), dir), 0u);
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    std::string path;
    ASSERT_TRUE(platform::MakeTempFile("land", &path));
    EXPECT_EQ(path.rfind(std::string(dir) + "lan", 0), 0u) << path;
    ASSERT_GE(path.size(), 4u);
    EXPECT_EQ(path[path.size() - 4], '.');
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    names.insert(path);
  }
  EXPECT_EQ(names.size(), 20u);
  for (const std::string& path : names) {
    EXPECT_TRUE(platform::RemoveFile(path));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_FALSE(platform::RemoveFile(*names.begin()));
}

}  // namespace
