"""The desk the suite works at: an X display, the pointer and keyboard (XTest
through xdotool), window look-up by title, and screen captures.

Captures and the window manager's close message go through libX11 directly
(ctypes), because shelling out to `import` for every poll would make the
waits slow and the suite long.
"""

import ctypes
import ctypes.util
import os
import re
import struct
import subprocess
import time
import zlib


class DeskError(Exception):
    """The display or a tool the suite needs is not usable."""


def wait_for(what, probe, timeout, interval=0.05):
    """Polls probe() until it returns something true; returns it, or raises
    TimeoutError naming what was awaited."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError(f"{what} (waited {timeout:.0f} s)")
        time.sleep(interval)


# ---------------------------------------------------------------- images ---

class Shot:
    """An RGB capture of part of the screen, with absolute origin (x, y)."""

    def __init__(self, x, y, w, h, rgb):
        self.x, self.y, self.w, self.h, self.rgb = x, y, w, h, bytes(rgb)

    def pixel(self, x, y):
        """Colour at (x, y) relative to the capture."""
        i = (y * self.w + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def crop(self, x, y, w, h):
        """Sub-image at (x, y) relative to this capture, clipped to it."""
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.w, x + w), min(self.h, y + h)
        rows = [self.rgb[(r * self.w + x0) * 3:(r * self.w + x1) * 3] for r in range(y0, y1)]
        return Shot(self.x + x0, self.y + y0, max(0, x1 - x0), max(0, y1 - y0), b"".join(rows))

    def differing_pixels(self, other):
        """Number of pixels that differ from an equally sized capture."""
        if (self.w, self.h) != (other.w, other.h):
            return self.w * self.h
        a, b = self.rgb, other.rgb
        if a == b:
            return 0
        return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])

    def count(self, predicate):
        """Number of pixels whose (r, g, b) satisfies predicate."""
        d = self.rgb
        return sum(1 for i in range(0, len(d), 3) if predicate(d[i], d[i + 1], d[i + 2]))

    def most_common_share(self):
        """Share (0..1) of the pixels that have the most frequent colour."""
        counts = {}
        d = self.rgb
        for i in range(0, len(d), 3):
            key = d[i:i + 3]
            counts[key] = counts.get(key, 0) + 1
        return max(counts.values()) / (self.w * self.h) if counts else 0.0

    def dark_column_runs(self, threshold=110):
        """Number of separate runs of columns holding dark pixels: the glyphs of
        a line of dark text on a light ground."""
        runs, inside = 0, False
        for x in range(self.w):
            dark = any(sum(self.pixel(x, y)) < 3 * threshold for y in range(self.h))
            if dark and not inside:
                runs += 1
            inside = dark
        return runs

    def save_png(self, path):
        raw = b"".join(b"\x00" + self.rgb[r * self.w * 3:(r + 1) * self.w * 3]
                       for r in range(self.h))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                      chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------- libX11 ---

class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int),
                ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong)]


class _XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class _XStructureEvent(ctypes.Structure):
    # The common head of XMapEvent and XUnmapEvent.
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong)]


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", _XClientMessage),
                ("xstructure", _XStructureEvent), ("pad", ctypes.c_long * 24)]


ZPIXMAP = 2
CLIENT_MESSAGE = 33
UNMAP_NOTIFY = 18
MAP_NOTIFY = 19
STRUCTURE_NOTIFY_MASK = 1 << 17


class _Xlib:
    def __init__(self, display_name):
        lib = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XGetImage.restype = ctypes.POINTER(_XImage)
        lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        lib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        lib.XInternAtom.restype = ctypes.c_ulong
        lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                   ctypes.c_long, ctypes.POINTER(_XEvent)]
        lib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        lib.XPending.argtypes = [ctypes.c_void_p]
        lib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_XEvent)]
        lib.XFlush.argtypes = [ctypes.c_void_p]
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.lib = lib
        self.dpy = lib.XOpenDisplay(display_name.encode())
        if not self.dpy:
            raise DeskError(f"cannot open display {display_name}")
        self.root = lib.XDefaultRootWindow(self.dpy)
        # A window that vanishes between look-up and capture must not kill
        # the suite through Xlib's default error handler.
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._handler = handler_type(lambda dpy, err: 0)
        lib.XSetErrorHandler(self._handler)

    def capture(self, x, y, w, h):
        image = self.lib.XGetImage(self.dpy, self.root, x, y, w, h, 0xFFFFFFFF, ZPIXMAP)
        if not image:
            raise DeskError(f"cannot capture {w}x{h}+{x}+{y}")
        img = image.contents
        if img.bits_per_pixel != 32:
            self.lib.XDestroyImage(image)
            raise DeskError(f"unexpected screen format: {img.bits_per_pixel} bits per pixel")
        stride = img.bytes_per_line
        raw = ctypes.string_at(img.data, stride * h)
        self.lib.XDestroyImage(image)
        rows = [raw[r * stride:r * stride + w * 4] for r in range(h)]
        bgrx = b"".join(rows)
        rgb = bytearray(w * h * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
        return Shot(x, y, w, h, rgb)

    def send_close_request(self, window):
        """What a window manager sends when the user clicks a window's close box."""
        event = _XEvent()
        event.xclient.type = CLIENT_MESSAGE
        event.xclient.window = window
        event.xclient.message_type = self.lib.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.l[0] = self.lib.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        event.xclient.l[1] = 0  # CurrentTime
        self.lib.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(event))
        self.lib.XFlush(self.dpy)

    def watch_mapping(self, window):
        self.lib.XSelectInput(self.dpy, window, STRUCTURE_NOTIFY_MASK)
        self.lib.XSync(self.dpy, 0)

    def mapping_events(self, window):
        """'unmap'/'map' events seen for a watched window since the last call."""
        seen = []
        event = _XEvent()
        while self.lib.XPending(self.dpy):
            self.lib.XNextEvent(self.dpy, ctypes.byref(event))
            if event.xstructure.window != window:
                continue
            if event.type == UNMAP_NOTIFY:
                seen.append("unmap")
            elif event.type == MAP_NOTIFY:
                seen.append("map")
        return seen

    def close(self):
        if self.dpy:
            self.lib.XCloseDisplay(self.dpy)
            self.dpy = None


# ------------------------------------------------------------------ desk ---

class Desk:
    """One X display: a private Xvfb started here, or an existing one."""

    def __init__(self, display=None, screen="1280x1024x24"):
        self.xvfb = None
        if display is None:
            display = self._start_xvfb(screen)
        self.display = display
        self.env = dict(os.environ, DISPLAY=display)
        self.x = _Xlib(display)
        self.width, self.height = (int(v) for v in self.xdotool("getdisplaygeometry").split())

    def _start_xvfb(self, screen):
        read_end, write_end = os.pipe()
        try:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen,
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except FileNotFoundError:
            raise DeskError("Xvfb is not installed (scripts/install-deps.sh installs it)")
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                byte = pipe.read(1)
                if not byte:
                    break
                number += byte
        if not number.strip():
            self.stop()
            raise DeskError("Xvfb did not start")
        return ":" + number.decode().strip()

    def stop(self):
        if getattr(self, "x", None):
            self.x.close()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        self.xvfb = None

    # -- tools --------------------------------------------------------------

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env,
                                capture_output=True, text=True, timeout=20)
        if check and result.returncode != 0:
            raise DeskError(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    # -- windows --------------------------------------------------------------

    def find_windows(self, title):
        """Ids of the shown windows whose title is exactly `title`."""
        out = self.xdotool("search", "--onlyvisible", "--name", f"^{re.escape(title)}$",
                           check=False)
        return [int(w) for w in out.split()]

    def find_window(self, title):
        found = self.find_windows(title)
        return found[-1] if found else None

    def geometry(self, window):
        """(x, y, w, h) of a window on the screen, or None when it is gone."""
        out = self.xdotool("getwindowgeometry", "--shell", window, check=False)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        try:
            return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        except KeyError:
            return None

    def top_level_windows(self):
        """Ids of every child window of the root, shown or not."""
        out = subprocess.run(["xwininfo", "-root", "-children"], env=self.env,
                             capture_output=True, text=True, timeout=20).stdout
        return {int(m.group(1), 16) for m in re.finditer(r"^\s+(0x[0-9a-f]+)", out, re.M)}

    def is_viewable(self, window):
        out = subprocess.run(["xwininfo", "-id", str(window)], env=self.env,
                             capture_output=True, text=True, timeout=20).stdout
        return "IsViewable" in out

    # -- pointer and keys -----------------------------------------------------

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "click", button)

    def press(self, button=1):
        self.xdotool("mousedown", button)

    def release(self, button=1):
        self.xdotool("mouseup", button)

    def key(self, *names):
        self.xdotool("key", "--delay", 20, *names)

    def type(self, text):
        self.xdotool("type", "--delay", 20, text)

    # -- captures -------------------------------------------------------------

    def capture(self, x=0, y=0, w=None, h=None):
        w = self.width - x if w is None else w
        h = self.height - y if h is None else h
        return self.x.capture(x, y, w, h)

    def capture_window(self, window):
        geometry = self.geometry(window)
        if geometry is None:
            raise DeskError(f"window {window} is gone")
        x, y, w, h = geometry
        x0, y0 = max(0, x), max(0, y)
        return self.capture(x0, y0, min(w, self.width - x0), min(h, self.height - y0))
