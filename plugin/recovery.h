// The recovery copy: while the terrain holds work that was neither exported
// nor passed to the host, a copy of it sits in the user's state folder, so a
// crash of the host, a killed process or a power cut loses at most the last
// few seconds. The next run offers a copy that a dead run left behind.
//
// A copy is one binary file, recovery-PID.map, beside recovery-PID.lock,
// which the run holds locked while it lives (so two hosts at once keep
// apart, and a copy whose lock nobody holds was left by a run that died):
//
//   bytes  0..7   "ARLRECOV"
//   bytes  8..11  format version, 1
//   bytes 12..15  side of the square map in samples: 249, 125, 63, 32 or 16
//   bytes 16..19  undo steps held when the copy was made
//   bytes 20..23  CRC-32 (as zlib's) of every other byte of the file
//   bytes 24..    side x side samples, row by row from the top
//
// Numbers are unsigned 32-bit, least significant byte first.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/plugin_state.h"

constexpr unsigned kRecoveryVersion = 1;

struct RecoveryCopy {
  Heightmap map;
  unsigned undoSteps = 0;
};

// CRC-32 as zlib computes it; crc carries on from an earlier part.
std::uint32_t Crc32(const unsigned char* bytes, std::size_t size, std::uint32_t crc = 0);

std::string EncodeRecoveryCopy(const Heightmap& map, unsigned undoSteps);
// False with *why (a few words: "it is cut short") for anything but a whole,
// intact copy of this version and of a known size.
bool DecodeRecoveryCopy(const std::string& bytes, RecoveryCopy* copy, std::string* why);

// At the start of a run, once its windows exist: offers the newest copy left
// by a run that did not end normally, then keeps this run's copy up to date
// every few seconds.
void StartRecovery();
// Brings this run's copy up to date now: written when the terrain has unsaved
// work that differs from the copy, removed when there is none. Never in the
// middle of a stroke. The run's timer calls it.
void UpdateRecoveryCopy();
// The end of the run. A normal end removes this run's copy and the copies it
// offered, restored or not; any other end keeps them for a later run.
void EndRecovery(bool normalEnd);

// This run's copy; empty outside a run or where no state folder can be had.
std::string RecoveryCopyPath();
// Seconds between two updates; 0 stops the timer (for measurements).
void SetRecoveryPeriod(double seconds);
