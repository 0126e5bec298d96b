#!/usr/bin/env python3
"""The plug-in run through quarn-host as a person uses it, with pointer and keys
(xdotool) on a private Xvfb, checked on the screen (python3-xlib), in the host's
output and in the files written. A failed step leaves BUILD/e2e-screens/step-N-failed.png.
Usage: run_e2e.py --build BUILD [--wm openbox] [--readme-shot FILE]"""

import argparse, collections, filecmp, os, re, shutil, subprocess, sys, time  # noqa: E401

from Xlib import X, display, error  # Debian: python3-xlib
from Xlib.protocol import event

EDITOR, PREVIEW, CONTROL = "Heightmap", "Landscape 3D View", "Relievo Plugin Menu"
# Points in the control window.
HEIGHTMAP_TAB, LAND_TAB, PAINT_TAB = (220, 38), (330, 38), (407, 38)
MAP_DIMENSIONS, GENERATE_MAP, CHANGE_SIZE = (222, 87), (85, 272), (340, 272)
MAX_WIDENESS, PASS_TO_QUARN, EXPORT = (227, 87), (212, 202), (212, 239)
CLEAR_ALL, MOUNTAIN = (337, 287), (187, 100)
EMPTY_SPOT = (10, 300)


def safe(query):  # what the X server says, or None when the window went away meanwhile
    try:
        return query()
    except error.XError:
        return None


class Suite:
    def __init__(self, build, readme_shot, wm):
        self.build, self.readme_shot = build, readme_shot
        self.screens = os.path.join(build, "e2e-screens" + (f"-{wm}" if wm else ""))
        self.work = os.path.join(build, "e2e-work" + (f"-{wm}" if wm else ""))
        for folder in (self.screens, self.work):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
        self.host, self.windows, self.step = None, {}, 0
        self.host_output = os.path.join(self.work, "host-output.txt")
        open(self.host_output, "w").close()
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp"], pass_fds=(write,),
                                     stderr=subprocess.DEVNULL)
        os.close(write)
        name = ":" + os.read(read, 16).decode().strip()
        # A state folder of its own: no recovery copy of another run is offered here.
        self.env = dict(os.environ, DISPLAY=name, XDG_STATE_HOME=os.path.join(self.work, "state"))
        self.x = display.Display(name)
        self.root = self.x.screen().root
        self.width, self.height = self.x.screen().width_in_pixels, self.x.screen().height_in_pixels

    def wait(self, what, probe, timeout=15.0, interval=0.05):
        deadline = time.monotonic() + timeout
        while not (value := probe()):
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out ({timeout:.0f} s) waiting for {what}")
            time.sleep(interval)
        return value

    def expect(self, condition, message):
        if not condition:
            raise AssertionError(message)

    def shown(self, window=None):  # under `window`, topmost last; a window manager adds frames
        for child in getattr(safe((window or self.root).query_tree), "children", []):
            if getattr(safe(child.get_attributes), "map_state", None) == X.IsViewable:
                yield child
                yield from self.shown(child)

    def find(self, title):
        return next((w for w in reversed(list(self.shown())) if safe(w.get_wm_name) == title), None)

    def box(self, window):  # (x, y, w, h) on the screen, or None once the window is gone
        window = self.windows.get(window, window)
        at, size = safe(lambda: self.root.translate_coords(window, 0, 0)), safe(window.get_geometry)
        return at and size and (at.x, at.y, size.width, size.height)

    def frame(self, window):  # the box of the window manager's frame (the window without one)
        top = self.windows.get(window, window)
        while (tree := safe(top.query_tree)) and tree.parent.id not in (0, self.root.id):
            top = tree.parent
        at, size = safe(lambda: self.root.translate_coords(top, 0, 0)), safe(top.get_geometry)
        b = size and size.border_width
        return tree and at and size and (at.x - b, at.y - b,
                                         size.width + 2 * b, size.height + 2 * b)

    def capture(self, x, y, w, h):
        return self.root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data  # B, G, R, pad

    def image(self, title):  # the windows sit inside the screen (see apart)
        return self.capture(*self.box(title))

    def settled(self, title):  # the image once three captures in a row agree
        last = collections.deque(maxlen=3)
        return self.wait(f'the image of "{title}" to settle', lambda: last.append(
            self.image(title)) or len(last) == 3 and len(set(last)) == 1 and last[0], 15.0, 0.1)

    def screenshot(self, path, crop=()):
        subprocess.run(["import", "-window", "root", *crop, path], env=self.env, timeout=30)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, timeout=30)

    def point(self, point, window=CONTROL, *then):  # the pointer there, then xdotool's `then`
        x, y, _, _ = self.box(window)
        self.xdotool("mousemove", x + point[0], y + point[1], *then)

    def click(self, point, window=CONTROL):
        self.point(point, window, "click", 1)

    def start_host(self, *args):
        with open(self.host_output, "w") as output:
            self.host = subprocess.Popen([os.path.join(self.build, "quarn-host"), *args],
                                         cwd=self.work, env=self.env, stdout=output,
                                         stderr=subprocess.STDOUT)

    def host_line(self, pattern):
        with open(self.host_output) as output:
            return next(filter(None, (re.search(pattern, line) for line in output)), None)

    def summarize(self, name):
        return subprocess.run([os.path.join(self.build, "quarn-host"), "--summarize", name],
                              cwd=self.work, check=True, stdout=subprocess.PIPE, text=True,
                              timeout=60).stdout.strip()

    def run_windows(self):
        for t in (EDITOR, PREVIEW, CONTROL):
            self.windows[t] = self.wait(f'the window "{t}"', lambda: self.find(t), 30.0)
        self.wait("the three windows to sit apart on the screen", self.apart)
        for title in self.windows:  # placed windows repaint after they move
            self.settled(title)

    def apart(self):  # every frame, title bar included, whole on the screen and over no other
        boxes = [self.frame(w) for w in self.windows.values()]
        return None not in boxes and all(
            x >= 0 and y >= 0 and x + w <= self.width and y + h <= self.height
            for x, y, w, h in boxes) and not any(
            a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]
            for i, a in enumerate(boxes) for b in boxes[i + 1:])

    def placed(self, when, control=None):
        """The frames apart once they settle, and the control window's frame still at `control`."""
        def aligned():  # the editor's and the preview's tops, in a row and in a column
            return self.apart() and len({self.frame(t)[1] for t in (EDITOR, PREVIEW)}) == 1
        try:
            self.wait(f"the windows {when} to sit apart, whole on the screen, tops aligned",
                      aligned, 5.0)
        finally:
            boxes = {t: self.frame(t) for t in self.windows}
            print(f"    {when}: " + ", ".join(f"{t} {b}" for t, b in boxes.items()))
            name = re.sub(r"[^a-z0-9]+", "-", when.split(" (")[0].lower())
            self.screenshot(os.path.join(self.screens, f"placed-{name}.png"))
        self.expect(not control or boxes[CONTROL] == control,
                    f"{when}: the control window moved from {control} to {boxes[CONTROL]}")
        return boxes[CONTROL]

    def editor_side(self, side, cause):
        self.wait(f"{cause} to make the editor {side} x {side}",
                  lambda: self.box(EDITOR)[2:] == (side, side))

    def pick(self, choice, index, entries=5):  # a click on the choice, one on its menu's entry
        self.click(choice)
        menu = self.wait("the menu to open", lambda: next((
            w for w in self.shown() if safe(w.get_attributes).override_redirect
            and (self.box(w) or (0,) * 4)[3] >= entries * 10), None))
        _, _, w, h = self.box(menu)
        item = h // entries
        self.click((w // 2, (h - entries * item) // 2 + item * index + item // 2), menu)
        self.wait("the menu to close", lambda: menu not in self.shown())

    def answer(self, title):  # Return, with the pointer on the message box once it is drawn
        box = self.wait(f'the "{title}" message box', lambda: self.find(title))
        self.settled(box)
        box = self.box(box)
        self.xdotool("mousemove", box[0] + box[2] // 2, box[1] + box[3] // 2, "key", "Return")
        self.wait(f'the "{title}" box to close', lambda: not self.find(title))

    def export(self, name):
        """"Export to QMF", the name typed into the file dialog; the file's summary."""
        self.click(LAND_TAB)
        self.click(EXPORT)
        dialog = self.wait("the file dialog", lambda: self.find("Save to QMF file"))
        self.settled(dialog)
        _, _, w, h = self.box(dialog)
        self.click((w * 6 // 10, h - 57), dialog)  # its name field, near the foot
        self.xdotool("key", "End", "type", "--delay", 20, name)
        self.xdotool("key", "Delete", "Return")
        self.answer("QMF exporter")
        summary = self.summarize(name)
        print(f"    {name}: {summary}")
        self.expect(summary.startswith("objects=16 vertices=16384 polygons=15376 "),
                    f"{name} is not a 125 x 125 map in objects of 32 x 32 vertices: {summary}")
        return summary

    # -- the scenario ------------------------------------------------------------------------

    def first_run_sizes(self):
        self.start_host("--runs", "2")
        self.run_windows()
        self.expect(self.box(EDITOR)[2:] == (249, 249), f"the editor is {self.box(EDITOR)}")
        control = self.placed("at start")
        self.click(HEIGHTMAP_TAB)
        self.pick(MAP_DIMENSIONS, 2)
        self.click(GENERATE_MAP)
        self.editor_side(63, '"Generate Map" at "63x63 px"')
        self.placed("after Generate Map (the editor shrank)", control)
        self.pick(MAP_DIMENSIONS, 1)
        self.click(CHANGE_SIZE)
        self.editor_side(125, '"Change Size" to "125x125 px"')
        self.placed("after Change Size")

    def export_and_pass(self):
        self.click(LAND_TAB)
        self.pick(MAX_WIDENESS, 3)
        exported = self.export("terrain-run1.qmf")
        self.expect(re.search(r" x=-992\.\.992 .* z=-992\.\.992$", exported),  # 62 steps of 16
                    f"the map does not span the 2048 units chosen: {exported}")
        self.click(PASS_TO_QUARN)
        received = self.wait("the host to receive", lambda: self.host_line(
            r"^received: (?:\d+ bytes, )?(.*)$"))[1]
        self.expect(received == exported, f"the host got {received!r}, the file has {exported!r}")
        self.answer("Information")
        self.wait("the first run to end", lambda: self.host_line(r"^run 1: end$"))
        self.expect(not any(w in self.shown() for w in self.windows.values()),
                    "windows are still shown after the run ended")

    def second_run_strokes_undone(self):
        self.wait("the second run", lambda: self.host_line(r"^run 2: start$"))
        self.run_windows()
        self.editor_side(125, "the second run's start")
        if self.readme_shot:
            boxes = [self.box(w) for w in self.windows.values()]  # with a margin on the screen
            x, y = (max(0, min(b[i] for b in boxes) - 10) for i in (0, 1))
            w, h = (min(s, max(b[i] + b[i + 2] for b in boxes) + 10) - o
                    for i, s, o in ((0, self.width, x), (1, self.height, y)))
            self.screenshot(self.readme_shot, ["-crop", f"{w}x{h}+{x}+{y}", "+repage"])
        self.export("terrain-run2.qmf")
        self.strokes_undone()
        self.export("terrain-run3.qmf")
        self.expect(filecmp.cmp(*(os.path.join(self.work, f"terrain-run{n}.qmf") for n in (2, 3)),
                                shallow=False), "the export after the undos differs from before")

    def strokes_undone(self):
        """Stroke after stroke, each undone by a quick Ctrl+Z over the editor: none is lost.
        The preview follows the first stroke while the button is down."""
        self.click(PAINT_TAB)
        self.click(MOUNTAIN)
        self.point((60, 60), EDITOR)
        before, preview = self.settled(EDITOR), self.settled(PREVIEW)
        for n in range(1, 6):
            self.xdotool("mousedown", 1)
            self.wait(f"stroke {n} to raise the map", lambda: self.image(EDITOR) != before)
            if n == 1:
                self.wait("the preview to show the stroke", lambda: sum(
                    a != b for a, b in zip(self.image(PREVIEW), preview)) >= 20)
            self.xdotool("mouseup", 1, "key", "ctrl+z")
            self.wait(f"Ctrl+Z {n} to give back the editor image before the stroke",
                      lambda: self.image(EDITOR) == before)

    def endings(self):
        editor, where = self.windows[EDITOR], self.frame(EDITOR)
        editor.change_attributes(event_mask=X.StructureNotifyMask)
        atom = self.x.intern_atom  # the close request a window manager sends
        editor.send_event(event.ClientMessage(window=editor, client_type=atom("WM_PROTOCOLS"),
                                              data=(32, [atom("WM_DELETE_WINDOW"), 0, 0, 0, 0])))
        seen = []

        def reopened():
            seen.extend(self.x.next_event().type for _ in range(self.x.pending_events()))
            return X.UnmapNotify in seen and X.MapNotify in seen[seen.index(X.UnmapNotify):]
        self.wait("the closed editor window to reappear", reopened)
        self.wait(f"the editor to come back where it was, {where}",
                  lambda: self.frame(EDITOR) == where)
        self.click(PAINT_TAB)
        self.click(CLEAR_ALL)  # an unsaved change: Escape asks; Return means No, only Yes ends
        for answer in ("Return", "Yes"):
            self.point(EMPTY_SPOT, CONTROL, "key", "Escape")  # off the editor: no brush outline
            self.wait('the question "Close the plug-in anyway?"', lambda: self.find("Warning"))
            self.expect(not self.host_line(r"^run 2: end$"),  # nor did closing the editor or No
                        f"the run ended before the question answered {answer}")
            if answer == "Return":
                self.answer("Warning")
            else:
                question = self.find("Warning")
                self.settled(question)
                _, _, w, h = self.box(question)
                self.click((w - 155, h - 22), question)  # "Yes", left of "No"
        self.wait("Yes to end the run, then the host's count",
                  lambda: self.host_line(r"^landscapes received: 1$"))
        self.wait("the host to exit", lambda: self.host.poll() is not None)
        self.expect(self.host.returncode == 0, f"the host exited with {self.host.returncode}")


STEPS = [Suite.first_run_sizes, Suite.export_and_pass, Suite.second_run_strokes_undone,
         Suite.endings]


def run_steps(suite, steps, label):
    """Runs the steps in order with a screenshot after each; on the first that fails, says
    which, with the host's output, and returns False."""
    try:
        for suite.step, step in enumerate(steps, 1):
            print(f"step {suite.step}: {step.__name__.replace('_', ' ')}", flush=True)
            t0 = time.monotonic()
            step(suite)
            suite.screenshot(os.path.join(suite.screens, f"step-{suite.step}.png"))
            print(f"    ok ({time.monotonic() - t0:.1f} s)", flush=True)
        return True
    except Exception as failure:  # noqa: BLE001 - whatever stopped the step, show it
        suite.screenshot(os.path.join(suite.screens, f"step-{suite.step}-failed.png"))
        with open(suite.host_output) as output:
            print(f"{label}: step {suite.step} FAILED: {failure!r}\n"
                  f"  host output:\n{output.read()}")
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--wm", help="a window manager to start on the display first")
    parser.add_argument("--readme-shot", help="a file for the picture of the three windows")
    args = parser.parse_args()
    started, suite = time.monotonic(), Suite(os.path.abspath(args.build), args.readme_shot, args.wm)
    wm, failed = args.wm and subprocess.Popen([args.wm], env=suite.env), True
    try:
        suite.wait(f"{args.wm} to manage the display", lambda: not wm or suite.root.
                   get_full_property(suite.x.intern_atom("_NET_SUPPORTING_WM_CHECK"), 0), 30.0)
        failed = not run_steps(suite, STEPS, "e2e")
    finally:
        for process in (suite.host, wm, suite.xvfb):
            if process and process.poll() is None:
                process.terminate()
                process.wait(timeout=10)
    print(f"e2e: {'FAILED' if failed else 'passed'} in {time.monotonic() - started:.1f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
