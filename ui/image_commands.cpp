// "Load Image" and "Save Image": the dialogs, then the conversion in
// imagefiles/, then the views.
#include <FL/Fl_Choice.H>

#include "imagefiles/image_files.h"
#include "platform/platform.h"
#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "plugin/views.h"
#include "ui/control_window.h"

namespace {

void Warn(const ImageFileResult& result) {
  if (!result.message.empty())
    platform::ShowMessage("Warning", result.message, platform::MessageIcon::Exclamation);
}

}  // namespace

void ControlWindow::LoadImage(Fl_Widget*, void*) {
  std::string path;
  if (platform::OpenFileDialog(kLoadImageTitle, LoadImageFilters(), &path)) LoadImageFrom(path);
}

void ControlWindow::LoadImageFrom(const std::string& path) {
  Heightmap loaded;
  int index = 0;
  ImageFileResult result = LoadImageFile(path, &loaded, &index);
  if (!result.ok) {
    Warn(result);
    return;
  }

  BeginChange();
  loaded.swap(heightmap);
  EndChange();
  if (mapDimensionsChoice) mapDimensionsChoice->value(index);
  displayZoom = 1;
  ResizeEditor(heightmap.width(), heightmap.height());
  RefreshEditor();
  mapSize = heightmap.width();
  RefreshPreview();
}

void ControlWindow::SaveImage(Fl_Widget*, void*) {
  std::string path;
  if (!platform::SaveFileDialog(kSaveImageTitle, SaveImageFilters(), &path)) return;
  Warn(SaveImageFile(path, heightmap));
}
