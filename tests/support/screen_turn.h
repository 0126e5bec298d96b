// The tests share one X server and its one pointer. A test that shows windows
// or moves the pointer holds this while it does, so that ctest's other
// processes neither move the pointer under it nor put a window over its own.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

struct ScreenTurn {
  int fd = open("/tmp/relievo-tests-screen.lock", O_CREAT | O_RDWR, 0666);
  ScreenTurn() { flock(fd, LOCK_EX); }
  ~ScreenTurn() { close(fd); }
};
