#include "plugin/recovery.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/session_lock.h"
#include "plugin/plugin_run.h"
#include "plugin/terrain_history.h"
#include "plugin/views.h"
#include "ui/control_window.h"

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'A', 'R', 'L', 'R', 'E', 'C', 'O', 'V'};
constexpr std::size_t kHeaderSize = 24;
constexpr std::size_t kCrcAt = 20;

double period = 3.0;
bool active = false;
std::string folder;
std::string ownCopy;
std::unique_ptr<platform::SessionLock> lock;
std::vector<std::string> offered;
// What the copy on disk holds, so an unchanged terrain is not written again.
Heightmap copied;
unsigned copiedUndoSteps = 0;
bool copyOnDisk = false;

void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

std::uint32_t Get32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The checksum covers the whole file but its own four bytes.
std::uint32_t CrcOfCopy(const std::string& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  return Crc32(p + kCrcAt + 4, bytes.size() - kCrcAt - 4, Crc32(p, kCrcAt));
}

bool Refuse(std::string* why, const std::string& text) {
  *why = text;
  return false;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string LockOf(const std::string& copy) { return copy.substr(0, copy.size() - 4) + ".lock"; }

// Copies in the folder whose run is gone, newest first.
std::vector<fs::path> LeftBehind() {
  std::vector<std::pair<fs::file_time_type, fs::path>> found;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("recovery-", 0) != 0 || e.path().extension() != ".map") continue;
    if (e.path().string() == ownCopy) continue;
    if (platform::SessionLock::HeldElsewhere(LockOf(e.path().string()))) continue;
    std::error_code timeError;
    found.emplace_back(fs::last_write_time(e.path(), timeError), e.path());
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a > b; });
  std::vector<fs::path> paths;
  for (auto& f : found) paths.push_back(f.second);
  return paths;
}

// A copy that cannot be used is moved out of the way, not deleted: it may be
// a newer version's, and it is not offered again.
void SetAside(const fs::path& copy, const std::string& why) {
  const fs::path aside = copy.string() + ".bad";
  std::error_code ec;
  fs::rename(copy, aside, ec);
  ReportRunFailure("The recovery copy " + copy.string() + " was not used: " + why + "." +
                       (ec ? std::string() : " It was kept as " + aside.string() + "."),
                   true);
}

void Restore(RecoveryCopy& copy) {
  BeginChange();
  copy.map.swap(heightmap);
  EndChange();
  mapSize = heightmap.width();
  displayZoom = 1;
  const int index = MapSizeIndex(mapSize);
  if (controlWindow && controlWindow->mapDimensionsChoice && index >= 0)
    controlWindow->mapDimensionsChoice->value(index);
  ResizeEditor(heightmap.width(), heightmap.height());
  RefreshEditor();
  RefreshPreview();
}

void OfferLeftBehind() {
  for (const fs::path& path : LeftBehind()) {
    RecoveryCopy copy;
    std::string why;
    if (!DecodeRecoveryCopy(ReadWhole(path.string()), &copy, &why)) {
      SetAside(path, why);
      continue;
    }
    // Kept until this run ends normally, so a wrong answer loses nothing.
    offered.push_back(path.string());
    if (platform::AskYesNo(
            "Information",
            "A landscape from a run that did not end normally was found. Restore it?",
            platform::DefaultAnswer::Yes))
      Restore(copy);
    return;
  }
}

void Tick(void*) {
  UpdateRecoveryCopy();
  if (active && period > 0) Fl::repeat_timeout(period, Tick);
}

void RemoveOwnCopy() {
  if (!copyOnDisk) return;
  std::remove(ownCopy.c_str());
  copyOnDisk = false;
  copied.assign();
}

}  // namespace

std::uint32_t Crc32(const unsigned char* bytes, std::size_t size, std::uint32_t crc) {
  static const auto table = [] {
    std::vector<std::uint32_t> t(256);
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc ^= 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::string EncodeRecoveryCopy(const Heightmap& map, unsigned undoSteps) {
  std::string bytes(kMagic, sizeof(kMagic));
  Put32(bytes, kRecoveryVersion);
  Put32(bytes, static_cast<std::uint32_t>(map.width()));
  Put32(bytes, undoSteps);
  Put32(bytes, 0);
  bytes.append(reinterpret_cast<const char*>(map.data()), map.size());
  const std::uint32_t crc = CrcOfCopy(bytes);
  for (int i = 0; i < 4; ++i) bytes[kCrcAt + i] = static_cast<char>(crc >> (8 * i) & 0xFF);
  return bytes;
}

bool DecodeRecoveryCopy(const std::string& bytes, RecoveryCopy* copy, std::string* why) {
  if (bytes.empty()) return Refuse(why, "it is empty");
  if (bytes.size() < kHeaderSize) return Refuse(why, "it is cut short");
  if (bytes.compare(0, sizeof(kMagic), kMagic, sizeof(kMagic)) != 0)
    return Refuse(why, "it is not a recovery copy");
  if (Get32(bytes, 8) != kRecoveryVersion)
    return Refuse(why, "it was made by another version of the plug-in");
  const std::uint32_t side = Get32(bytes, 12);
  if (MapSizeIndex(static_cast<int>(side)) < 0)
    return Refuse(why, "its map side of " + std::to_string(side) + " is not one the plug-in knows");
  const std::size_t whole = kHeaderSize + std::size_t{side} * side;
  if (bytes.size() < whole) return Refuse(why, "it is cut short");
  if (bytes.size() > whole) return Refuse(why, "it has bytes past its map");
  if (Get32(bytes, kCrcAt) != CrcOfCopy(bytes))
    return Refuse(why, "its checksum does not match its contents");
  copy->map.assign(reinterpret_cast<const unsigned char*>(bytes.data() + kHeaderSize), side, side,
                   1, 1);
  copy->undoSteps = Get32(bytes, 16);
  return true;
}

void StartRecovery() {
  EndRecovery(false);
  folder = platform::StateFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "No state folder: this run keeps no recovery copy.\n");
    return;
  }
  const std::string stem =
      (fs::path(folder) / ("recovery-" + std::to_string(platform::ProcessId()))).string();
  lock = std::make_unique<platform::SessionLock>();
  if (!lock->Acquire(stem + ".lock")) {
    std::fprintf(stderr, "Cannot lock %s.lock: this run keeps no recovery copy.\n", stem.c_str());
    lock.reset();
    return;
  }
  ownCopy = stem + ".map";
  active = true;
  OfferLeftBehind();
  if (period > 0) Fl::add_timeout(period, Tick);
}

void UpdateRecoveryCopy() {
  // The history's open stroke is the paint path: a copy waits until it ends.
  if (!active || StrokeInProgress()) return;
  if (!TerrainUnsaved()) return RemoveOwnCopy();
  const unsigned steps = static_cast<unsigned>(UndoSteps());
  if (copyOnDisk && steps == copiedUndoSteps && copied.is_sameXY(heightmap) && copied == heightmap)
    return;
  std::string reason;
  // A failed write keeps the previous copy whole; the next update tries again.
  if (!platform::WriteWholeFile(ownCopy, EncodeRecoveryCopy(heightmap, steps),
                                platform::FileMode::Binary, &reason))
    return;
  copied = heightmap;
  copiedUndoSteps = steps;
  copyOnDisk = true;
}

void EndRecovery(bool normalEnd) {
  Fl::remove_timeout(Tick);
  if (!active) return;
  if (normalEnd) {
    RemoveOwnCopy();
    for (const std::string& path : offered) {
      std::remove(path.c_str());
      std::remove(LockOf(path).c_str());
    }
  }
  offered.clear();
  copyOnDisk = false;
  copied.assign();
  lock.reset();
  active = false;
}

std::string RecoveryCopyPath() { return active ? ownCopy : std::string(); }

void SetRecoveryPeriod(double seconds) {
  period = seconds;
  Fl::remove_timeout(Tick);
  if (active && period > 0) Fl::add_timeout(period, Tick);
}
