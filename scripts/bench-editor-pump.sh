#!/usr/bin/env bash
# The editor pump in the running plug-in, on a private virtual X server:
#  1. CPU use of quarn-host over 10 s with nothing happening (goal: <= 5 % of one core);
#  2. passes per second while "Create Mountain" is held on the 249 x 249 map for
#     5 s with the preview live (goal: >= 50).
# Passes are counted from outside the product: a preloaded shim counts the
# XPutImage calls that reach the editor window. Every pass shows the editor
# image once, and a pass with the button held shows it twice (after the tool
# and at the end of the step), so passes = calls / 2 while the tool is held.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
host="$build/quarn-host"
[[ -x "$host" ]] || { echo "no $host: build first" >&2; exit 1; }
for tool in Xvfb xdotool "${CC:-cc}"; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
host_pid=""
cleanup() {
  set +e
  [[ -n "$host_pid" ]] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The counting shim: XPutImage calls per drawable, dumped on SIGUSR1.
cat >"$work/count_putimage.c" <<'EOF'
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

enum { kSlots = 64 };
static unsigned long drawables[kSlots], counts[kSlots];
static int out = -1;
typedef int (*PutImageFn)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned, unsigned);

int XPutImage(Display* d, Drawable w, GC gc, XImage* im, int sx, int sy, int dx, int dy,
              unsigned width, unsigned height) {
  static PutImageFn real;
  if (!real) {
    /* The module and its libX11 are loaded privately (RTLD_LOCAL), out of
       RTLD_NEXT's reach; by the time it draws, libX11 is loaded. */
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    real = (PutImageFn)dlsym(x11 ? x11 : RTLD_NEXT, "XPutImage");
  }
  for (int i = 0; i < kSlots; ++i) {
    unsigned long seen = __sync_val_compare_and_swap(&drawables[i], 0, w);
    if (seen == 0 || seen == w) {
      __sync_fetch_and_add(&counts[i], 1);
      break;
    }
  }
  return real(d, w, gc, im, sx, sy, dx, dy, width, height);
}

static char* Decimal(char* end, unsigned long v) {
  do { *--end = (char)('0' + v % 10); v /= 10; } while (v);
  return end;
}

/* Async-signal-safe: "drawable count" lines, then a blank line. */
static void Dump(int sig) {
  (void)sig;
  char line[64];
  for (int i = 0; i < kSlots && drawables[i]; ++i) {
    char* end = line + sizeof(line);
    *--end = '\n';
    end = Decimal(end, counts[i]);
    *--end = ' ';
    end = Decimal(end, drawables[i]);
    write(out, end, (size_t)(line + sizeof(line) - end));
  }
  write(out, "\n", 1);
}

__attribute__((constructor)) static void Start(void) {
  const char* path = getenv("PUTIMAGE_COUNTS");
  if (!path) return;
  out = open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
  signal(SIGUSR1, Dump);
}
EOF
"${CC:-cc}" -shared -fPIC -O2 -o "$work/count_putimage.so" "$work/count_putimage.c" -ldl

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

PUTIMAGE_COUNTS="$work/counts" LD_PRELOAD="$work/count_putimage.so" \
  "$host" >"$work/host.log" 2>&1 &
host_pid=$!
window() {
  for _ in $(seq 100); do
    kill -0 "$host_pid" 2>/dev/null || { echo "quarn-host ended:" >&2; cat "$work/host.log" >&2; exit 1; }
    xdotool search --name "$1" 2>/dev/null | head -1 && return
    sleep 0.1
  done
  echo "no window $1" >&2
  exit 1
}
editor=$(window '^Heightmap$')
control=$(window '^Relievo Plugin Menu$')
preview=$(window '^Landscape 3D View$')
# No window manager places them: side by side, so the pointer reaches each.
xdotool windowmove "$control" 0 0 windowmove "$preview" 430 0 windowmove "$editor" 430 340
sleep 2  # let start-up settle

# Calls on the editor window in each dump so far, one number per line.
editor_calls() {
  awk -v w="$editor" 'BEGIN { RS = ""; FS = "\n" } { n = 0; for (i = 1; i <= NF; ++i) {
    split($i, f, " "); if (f[1] == w) n = f[2] } print n + 0 }' "$work/counts"
}
# Calls between the last two dumps.
last_calls() { sleep 0.2; editor_calls | tail -2 | awk 'NR == 1 { a = $1 } NR == 2 { print $1 - a }'; }

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
kill -USR1 "$host_pid"
t0=$(ticks "$host_pid"); x0=$(ticks "$xvfb_pid")
sleep 10
t1=$(ticks "$host_pid"); x1=$(ticks "$xvfb_pid")
kill -USR1 "$host_pid"
awk -v t="$((t1 - t0))" -v x="$((x1 - x0))" -v hz="$hz" -v c="$(last_calls)" 'BEGIN {
  printf "idle run, 10 s: quarn-host %.1f %% of one core (goal <= 5 %%); X server %.1f %%; %.1f passes per second\n",
         100 * t / hz / 10, 100 * x / hz / 10, c / 10 }'

# "Create Mountain" is the third tool button of the Paint page, on top at start.
eval "$(xdotool getwindowgeometry --shell "$control")"
xdotool mousemove "$((X + 187))" "$((Y + 100))" click 1
sleep 0.3
xdotool mousemove --window "$editor" 124 124
sleep 0.3
shot() { import -window "$editor" rgb:- | md5sum; }
before=$(shot)
kill -USR1 "$host_pid"
t0=$(ticks "$host_pid")
xdotool mousedown 1
sleep 5
kill -USR1 "$host_pid"
t1=$(ticks "$host_pid")
xdotool mouseup 1
# Only a working tool makes two displays per pass; make sure it worked.
if [[ "$(shot)" == "$before" ]]; then
  echo "the held tool did not change the editor image: no pass rate" >&2
  exit 1
fi
awk -v c="$(last_calls)" -v t="$((t1 - t0))" -v hz="$hz" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  printf "tool held 5 s, 249 map, preview live: %.1f passes per second (goal >= 50); quarn-host %.1f %% of one core; machine load average %s\n",
         c / 2 / 5, 100 * t / hz / 5, load }'
