// The Win32 platform layer: the dialog records exactly as the common dialogs
// get them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefiles/image_files.h"
#include "platform/platform_win32.h"

namespace {

TEST(DialogRecord, OldestLayoutTitleFlagsAndTheFilterPairsInOrder) {
  struct Case {
    bool save;
    const char* title;
    std::vector<platform::FileFilter> filters;
    DWORD flags;
    std::vector<std::string> some;
  };  // parts 0, 1, 2, 3, 12, 13 of 14
  const Case cases[] = {
      {false,
       kLoadImageTitle,
       LoadImageFilters(),
       OFN_FILEMUSTEXIST,
       {"All supported image files",
        "*.bmp;*.jpg;*.jpeg;*.tga;*.psd;*.tif;*.tiff;*.ras;*.pct;*.pcd;*.pbm;*.pcx;*.png;"
        "*.pgm;*.ppm;*.pnm;*.iff;*.lbm;*.xpm;*.xbm;*.wbmp;*.ico;*.koa",
        "Common Files (*.jpg,*.bmp,*.tga,*.png,*.xpm)", "*.bmp;*.jpg;*.jpeg;*.tga;*.png;*.xpm",
        "Photoshop only(*.psd)", "*.psd"}},
      {true,
       kSaveImageTitle,
       SaveImageFilters(),
       OFN_OVERWRITEPROMPT,
       {"Bitmap file(*.bmp)", "*.bmp", "Jpeg file(*.jpg)", "*.jpg", "Photoshop(*.psd)", "*.psd"}}};
  for (const Case& c : cases) {
    char file[platform::kDialogFileBuffer] = {0};
    const std::string filter = platform::Win32Filter(c.filters);
    OPENFILENAMEA ofn = platform::DialogRecord(c.save, c.title, filter, file);
    EXPECT_TRUE(ofn.lStructSize == 76 && ofn.Flags == c.flags && ofn.lpstrFile == file &&
                ofn.nMaxFile == 1024 && ofn.nFilterIndex == 1)
        << c.title;
    EXPECT_TRUE(!ofn.hwndOwner && !ofn.lpstrFileTitle && !ofn.lpstrInitialDir && !ofn.lpstrDefExt &&
                !ofn.lpstrCustomFilter)
        << c.title;
    EXPECT_STREQ(ofn.lpstrTitle, c.title);
    std::vector<std::string> parts;  // split at the NULs, up to the empty string that ends them
    const char* p = ofn.lpstrFilter;
    for (; *p; p += parts.back().size() + 1) parts.emplace_back(p);
    ASSERT_EQ(parts.size(), 14u) << c.title;
    EXPECT_EQ(p - ofn.lpstrFilter + 1, static_cast<std::ptrdiff_t>(filter.size()))
        << "one NUL more ends it";
    EXPECT_EQ(
        std::vector<std::string>({parts[0], parts[1], parts[2], parts[3], parts[12], parts[13]}),
        c.some);
  }
  EXPECT_EQ(platform::MessageBoxType(platform::MessageIcon::Information),
            UINT(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(platform::MessageBoxType(platform::MessageIcon::Exclamation),
            UINT(MB_OK | MB_ICONEXCLAMATION));
}

}  // namespace
