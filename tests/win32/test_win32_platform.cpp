// The Win32 platform layer: the dialog records exactly as the common dialogs
// get them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagefiles/image_files.h"
#include "platform/platform_win32.h"

namespace {

// The oldest record layout (76 bytes), no owner or initial folder, and the filter as
// description and pattern pairs, each ended by a NUL, with one NUL more after the last.
TEST(DialogRecord, CommonDialogsGetTheOldestLayoutWithNulSeparatedFilters) {
  const struct {
    bool save;
    const char* title;
    std::vector<platform::FileFilter> filters;
    DWORD flags;
    std::vector<std::string> firstAndLast;  // parts 0, 1 and 12, 13 of 14
  } cases[] = {{false,
                kLoadImageTitle,
                LoadImageFilters(),
                OFN_FILEMUSTEXIST,
                {"All supported image files",
                 "*.bmp;*.jpg;*.jpeg;*.tga;*.psd;*.tif;*.tiff;*.ras;*.pct;*.pcd;*.pbm;*.pcx;"
                 "*.png;*.pgm;*.ppm;*.pnm;*.iff;*.lbm;*.xpm;*.xbm;*.wbmp;*.ico;*.koa",
                 "Photoshop only(*.psd)", "*.psd"}},
               {true,
                kSaveImageTitle,
                SaveImageFilters(),
                OFN_OVERWRITEPROMPT,
                {"Bitmap file(*.bmp)", "*.bmp", "Photoshop(*.psd)", "*.psd"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    char file[platform::kDialogFileBuffer] = {0};
    const std::string filter = platform::Win32Filter(c.filters);
    OPENFILENAMEA ofn = platform::DialogRecord(c.save, c.title, filter, file);
    EXPECT_EQ(ofn.lStructSize, 76u);
    EXPECT_EQ(ofn.Flags, c.flags);
    EXPECT_EQ(ofn.lpstrFile, file);
    EXPECT_EQ(ofn.nMaxFile, 1024u);
    EXPECT_EQ(ofn.nFilterIndex, 1u);
    EXPECT_EQ(ofn.hwndOwner, nullptr);
    EXPECT_EQ(ofn.lpstrInitialDir, nullptr);
    EXPECT_STREQ(ofn.lpstrTitle, c.title);
    std::vector<std::string> parts;  // split at the NULs, up to the empty string that ends them
    const char* p = ofn.lpstrFilter;
    for (; *p; p += parts.back().size() + 1) parts.emplace_back(p);
    ASSERT_EQ(parts.size(), 14u);
    EXPECT_EQ(p + 1 - ofn.lpstrFilter, static_cast<std::ptrdiff_t>(filter.size()))
        << "one NUL more ends it";
    EXPECT_THAT(c.firstAndLast, ::testing::ElementsAre(parts[0], parts[1], parts[12], parts[13]));
  }
}

}  // namespace
