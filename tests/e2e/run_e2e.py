#!/usr/bin/env python3
"""End-to-end run of the plug-in through quarn-host, used as a person would:
pointer moves, clicks and keys on a virtual X server, checks by looking at the
screen, at the host's output and at the files written.

    run_e2e.py --build BUILD_DIR [--display :N] [--wm openbox] [--readme-shot FILE]

Screenshots of every step go to BUILD_DIR/e2e-screens (e2e-screens-openbox
with --wm openbox, which runs that window manager first); a failure names its
step and leaves a screenshot step-N-failed.png there. Exit status 0 when every
step passed.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xdesk import Desk, DeskError, wait_for  # noqa: E402

WINDOW_TIMEOUT = 30.0   # a window to appear (a loaded machine starts slowly)
ACTION_TIMEOUT = 15.0   # the screen or the host to answer an action

EDITOR_TITLE = "Heightmap"
PREVIEW_TITLE = "Landscape 3D View"
CONTROL_TITLE = "Relievo Plugin Menu"

TITLES = (EDITOR_TITLE, PREVIEW_TITLE, CONTROL_TITLE)

# Control window widgets, window coordinates (x, y, w, h).
TAB_POINTS = {  # points inside each tab, whichever tab is selected
    "Rendering Options": (70, 38), "HeigthMap Options": (220, 38),
    "Land Options": (330, 38), "Paint": (407, 38)}
MAP_DIMENSIONS = (160, 75, 125, 25)
GENERATE_MAP = (30, 260, 110, 25)
CHANGE_SIZE = (285, 260, 110, 25)
MAX_WIDENESS = (170, 75, 115, 25)
PASS_TO_QUARN = (155, 190, 115, 25)
EXPORT_TO_QMF = (155, 227, 115, 25)
CLEAR_ALL = (290, 275, 95, 25)
ROTATE_RIGHT = (65, 120, 45, 30)
ENLARGE = (265, 120, 45, 30)
REDUCE = (315, 120, 45, 30)
MAX_OUTPUT = (320, 240, 35, 20)
TOOL_BUTTONS = {
    "Fix Draw": (65, 85, 45, 30), "Paint Plain Brush": (115, 85, 45, 30),
    "Create Mountain": (165, 85, 45, 30), "Create Depression": (215, 85, 45, 30),
    "Noise Zone": (265, 85, 45, 30), "Blur Zone": (315, 85, 45, 30)}
TOOLS_BOX = (55, 75, 315, 85)
# Each page shows a white choice field at a point where the others show none.
PAGE_PROBES = {"Rendering Options": [(286, 90)], "HeigthMap Options": [(163, 80)],
               "Land Options": [(175, 80)]}
EMPTY_SPOT = (10, 300)  # inside the control window, on no widget


class StepFailed(Exception):
    pass


def centre(rect):
    x, y, w, h = rect
    return x + w // 2, y + h // 2


def is_white(p):
    return min(p) >= 235


def is_yellow(p):
    r, g, b = p
    return r >= 180 and g >= 180 and b <= 100


def is_colourful(r, g, b):
    return max(r, g, b) - min(r, g, b) >= 60


# ------------------------------------------------------------------ host ---

class Host:
    """quarn-host running the module, with its output collected line by line."""

    def __init__(self, program, workdir, args, env):
        self.lines = []
        self.lock = threading.Lock()
        self.process = subprocess.Popen([program, *args], cwd=workdir,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True, env=env)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            with self.lock:
                self.lines.append(line.rstrip("\n"))

    def output(self):
        with self.lock:
            return list(self.lines)

    def find_line(self, pattern):
        regex = re.compile(pattern)
        for line in self.output():
            match = regex.search(line)
            if match:
                return match
        return None

    def wait_line(self, pattern, what, timeout=ACTION_TIMEOUT):
        return wait_for(what, lambda: self.find_line(pattern), timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()


# ----------------------------------------------------------------- suite ---

class Suite:
    def __init__(self, build, desk, readme_shot, wm=None):
        self.build = build
        self.desk = desk
        self.readme_shot = readme_shot
        self.host_program = os.path.join(build, "quarn-host")
        self.screens = os.path.join(build, "e2e-screens" + (f"-{wm}" if wm else ""))
        self.work = os.path.join(build, "e2e-work")
        for folder in (self.screens, self.work):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
        self.host = None
        self.step = 0
        self.windows = {}
        self.exported = None

    # -- plumbing -------------------------------------------------------------

    def fail(self, message):
        raise StepFailed(message)

    def expect(self, condition, message):
        if not condition:
            self.fail(message)

    def wait(self, what, probe, timeout=ACTION_TIMEOUT, interval=0.05, missing=None):
        """Polls probe until it gives something true; on time-out the step fails
        with `missing` (what the screen lacks) or with what was awaited."""
        try:
            return wait_for(what, probe, timeout, interval)
        except TimeoutError as timeout_error:
            self.fail(f"{missing} (waited {timeout:.0f} s)" if missing
                      else f"timed out waiting for {timeout_error}")

    def screenshot(self, label):
        shot = self.desk.capture()
        shot.save_png(os.path.join(self.screens, f"step-{self.step}-{label}.png"))
        return shot

    def start_host(self, *args):
        self.host = Host(self.host_program, self.work, args, self.desk.env)

    def summarize(self, path):
        result = subprocess.run([self.host_program, "--summarize", path],
                                capture_output=True, text=True, timeout=60)
        self.expect(result.returncode == 0,
                    f"quarn-host --summarize {path} failed: {result.stderr.strip()}")
        return result.stdout.strip()

    # -- the run's windows ------------------------------------------------------

    def wait_for_run_windows(self):
        """Waits for the three windows of a new run, placed apart by the plug-in."""
        for title in TITLES:
            self.windows[title] = self.wait(f'the window "{title}" to appear',
                                            lambda t=title: self.desk.find_window(t),
                                            WINDOW_TIMEOUT)
        self.wait_apart("at the start of the run")
        # Placed windows show stale pixels until they repaint: judge settled images.
        for title in TITLES:
            self.wait_settled(title)

    def apart(self):
        """Whether the three windows are on the screen and none covers another."""
        boxes = [self.desk.geometry(self.windows[t]) for t in TITLES]
        if None in boxes:
            return False
        for i, (x, y, w, h) in enumerate(boxes):
            if x < 0 or y < 0 or x + w > self.desk.width or y + h > self.desk.height:
                return False
            for (x2, y2, w2, h2) in boxes[i + 1:]:
                if x < x2 + w2 and x2 < x + w and y < y2 + h2 and y2 < y + h:
                    return False
        return True

    def wait_apart(self, when):
        self.wait(f"the three windows to sit apart {when}", self.apart,
                  missing=f"the three windows overlap or leave the screen {when}: " +
                  ", ".join(f"{t} {self.desk.geometry(self.windows[t])}" for t in TITLES))

    def geometry(self, title):
        geometry = self.desk.geometry(self.windows[title])
        self.expect(geometry is not None, f'the window "{title}" is gone')
        return geometry

    def window_shot(self, title):
        return self.desk.capture_window(self.windows[title])

    def control_point(self, x, y):
        cx, cy, _, _ = self.geometry(CONTROL_TITLE)
        return cx + x, cy + y

    def control_shot(self, rect=None):
        shot = self.window_shot(CONTROL_TITLE)
        return shot.crop(*rect) if rect else shot

    def click_control(self, rect_or_point):
        point = centre(rect_or_point) if len(rect_or_point) == 4 else rect_or_point
        self.desk.click(*self.control_point(*point))

    # -- control window pages and widgets -------------------------------------

    def page_shown(self, shot=None):
        shot = shot or self.control_shot()
        white = {name: all(is_white(shot.pixel(*p)) for p in probes)
                 for name, probes in PAGE_PROBES.items()}
        if white["HeigthMap Options"]:
            return "HeigthMap Options"
        if white["Rendering Options"]:
            return "Rendering Options"
        if white["Land Options"]:
            return "Land Options"
        if shot.crop(*TOOLS_BOX).count(is_colourful) >= 200:
            return "Paint"
        return None

    def open_page(self, name):
        self.click_control(TAB_POINTS[name])
        self.wait(f'the page "{name}" to show', lambda: self.page_shown() == name)

    def lit_tools(self, shot=None):
        """Names of the tool buttons whose light is on."""
        shot = shot or self.control_shot()
        lit = []
        for name, (x, y, _, h) in TOOL_BUTTONS.items():
            light = shot.crop(x + 5, y + h // 2 - 4, 7, 8)
            if light.count(lambda r, g, b: is_yellow((r, g, b))) >= 20:
                lit.append(name)
        return lit

    def pick(self, choice_rect, index, entries, label):
        """Opens a choice's menu with a click and clicks its entry `index`."""
        before = self.desk.top_level_windows()
        self.click_control(choice_rect)

        def menu():
            for window in self.desk.top_level_windows() - before:
                geometry = self.desk.geometry(window)
                if geometry and geometry[3] >= entries * 10 and self.desk.is_viewable(window):
                    return window, geometry
            return None
        window, (x, y, w, h) = self.wait(f'the menu of "{label}" to open', menu)
        item = h // entries
        self.desk.click(x + w // 2, y + (h - entries * item) // 2 + item * index + item // 2)
        self.wait(f'the menu of "{label}" to close',
                  lambda: not self.desk.is_viewable(window))

    def wait_editor_size(self, side, cause):
        self.wait(f'the editor window to become {side} x {side}',
                  lambda: self.geometry(EDITOR_TITLE)[2:] == (side, side),
                  missing=f"{cause} did not make the editor window {side} x {side} "
                  f"(it stays {'%d x %d' % self.geometry(EDITOR_TITLE)[2:]})")

    def editor_image(self):
        return self.window_shot(EDITOR_TITLE)

    def wait_settled(self, title):
        return self.wait_settled_window(self.windows[title], title)

    def wait_settled_window(self, window, title="the window"):
        """A window's image once three captures in a row agree."""
        last = []

        def settled():
            last.append(self.desk.capture_window(window))
            return last[-1] if len(last) >= 3 and last[-1].rgb == last[-2].rgb == last[-3].rgb \
                else None
        return self.wait(f'the image of "{title}" to settle', settled, interval=0.1)

    def close_message(self, title):
        """Waits for a message box, then closes it with Enter as a person would."""
        box = self.wait(f'the "{title}" message box', lambda: self.desk.find_window(title))
        x, y, w, h = self.desk.geometry(box)
        self.screenshot(title.replace(" ", "-").lower())
        self.desk.move(x + w // 2, y + h // 2)
        self.desk.key("Return")
        self.wait(f'the "{title}" message box to close',
                  lambda: not self.desk.find_windows(title))

    def export_to(self, name):
        """"Export to QMF", the name typed in the file dialog, then the confirmation."""
        path = os.path.join(self.work, name)
        self.click_control(EXPORT_TO_QMF)
        dialog = self.wait('the file dialog "Save to QMF file"',
                           lambda: self.desk.find_window("Save to QMF file"))
        x, y, w, h = self.desk.geometry(dialog)
        self.screenshot("file-dialog")
        # The dialog opens in the host's folder; its name field is near the foot.
        self.desk.click(x + w * 6 // 10, y + h - 57)
        self.desk.key("End")
        self.desk.type(name)
        self.desk.key("Delete", "Return")
        self.wait('the file dialog to close',
                  lambda: not self.desk.find_windows("Save to QMF file"))
        self.close_message("QMF exporter")
        self.expect(os.path.isfile(path) and os.path.getsize(path) > 0,
                    f"no exported file at {path}")
        return path

    # ---------------------------------------------------------------- steps ---

    def windows_at_start(self):
        self.start_host("--runs", "2", "--save", os.path.join(self.work, "received.txt"))
        self.wait_for_run_windows()
        self.expect(self.geometry(EDITOR_TITLE)[2:] == (249, 249),
                    f"the first run's editor window is {self.geometry(EDITOR_TITLE)[2:]}, "
                    "not 249 x 249")
        page = self.wait("the control window to draw its page", self.page_shown,
                         missing="the control window shows none of its four pages: no choice "
                         "fields and no tool icons where they belong")
        self.expect(page == "Paint",
                    f'the control window opens on "{page}", not on "Paint"')
        lit = self.wait('a tool button to light up', self.lit_tools,
                        missing="no tool button is lit")
        self.expect(lit == ["Fix Draw"], f'lit tool buttons: {lit}, expected only "Fix Draw"')
        self.wait_settled(PREVIEW_TITLE)
        self.screenshot("windows")

    def map_sizes(self):
        self.open_page("HeigthMap Options")
        self.pick(MAP_DIMENSIONS, 2, 5, "Map Dimensions:")
        self.click_control(GENERATE_MAP)
        self.wait_editor_size(63, '"Generate Map" at "63x63 px"')
        self.screenshot("generated-63")
        self.pick(MAP_DIMENSIONS, 1, 5, "Map Dimensions:")
        self.click_control(CHANGE_SIZE)
        self.wait_editor_size(125, '"Change Size" to "125x125 px"')
        self.screenshot("changed-125")

    def mountain_stroke(self):
        self.open_page("Paint")
        # A flat map at the brush height (10) gives a known readout to rise from.
        self.click_control(CLEAR_ALL)
        self.wait("the editor to show a flat map",
                  lambda: self.editor_image().most_common_share() >= 0.95)
        before_max = self.control_shot(MAX_OUTPUT).crop(3, 3, MAX_OUTPUT[2] - 6,
                                                        MAX_OUTPUT[3] - 6)
        digits = before_max.dark_column_runs()
        self.expect(digits == 2, f'the "Max:" readout shows {digits} digit(s), not the two of '
                    '10, over a map cleared to height 10: the editor does not update it')
        preview_before = self.wait_settled(PREVIEW_TITLE)
        self.screenshot("cleared")
        self.click_control(TOOL_BUTTONS["Create Mountain"])
        self.wait('"Create Mountain" to light up',
                  lambda: self.lit_tools() == ["Create Mountain"])
        ex, ey, _, _ = self.geometry(EDITOR_TITLE)

        def max_risen():
            shot = self.control_shot(MAX_OUTPUT).crop(3, 3, MAX_OUTPUT[2] - 6,
                                                      MAX_OUTPUT[3] - 6)
            return shot.dark_column_runs() == 3 and shot.rgb != before_max.rgb
        # The tool acts once per pass of the editor while the button is held; a
        # busy machine makes fewer passes, so a person would simply hold again.
        for stroke in range(1, 4):
            self.desk.move(ex + 30, ey + 40)
            self.desk.press(1)
            time.sleep(1.0)
            self.desk.release(1)
            try:
                wait_for("Max: to rise", max_risen, 3.0)
                break
            except TimeoutError:
                print(f"    stroke {stroke}: Max: has not reached three digits yet")
        else:
            self.fail('"Max:" did not rise from 10 to a three-digit value after three '
                      'one-second strokes of "Create Mountain"')
        self.wait("the preview to show the mountain", lambda: self.window_shot(
            PREVIEW_TITLE).differing_pixels(preview_before) >= 20)
        self.screenshot("mountain")

    def enlarge_and_pages(self):
        for _ in range(3):
            self.click_control(ENLARGE)
        # A page change is handled after the three clicks: then they are done.
        self.open_page("Land Options")
        self.wait_editor_size(500, '"Enlarge" three times at 125 x 125 (stops at x4)')
        self.wait_apart("after Enlarge x3")
        self.wait_settled(EDITOR_TITLE)
        self.screenshot("enlarged-x3")
        for name in TAB_POINTS:
            self.open_page(name)
            self.control_shot().save_png(os.path.join(
                self.screens, f"page-{name.replace(' ', '-').lower()}.png"))
        self.click_control(REDUCE)
        self.wait_editor_size(250, '"Reduce"')
        self.click_control(REDUCE)
        self.wait_editor_size(125, '"Reduce" twice')
        self.wait_apart("after Reduce")

    def rotations(self):
        self.desk.move(*self.control_point(*EMPTY_SPOT))
        start = self.wait_settled(EDITOR_TITLE)
        previous = start
        for turn in range(1, 5):
            self.click_control(ROTATE_RIGHT)
            if turn < 4:
                previous = self.wait(f"the editor image to turn (turn {turn})",
                                     lambda p=previous: self._changed_editor(p))
                self.screenshot(f"turn-{turn}")
        self.wait("four turns to give back the first editor image",
                  lambda: self.editor_image().rgb == start.rgb)
        self.screenshot("turn-4")

    def _changed_editor(self, previous):
        shot = self.editor_image()
        return shot if shot.rgb != previous.rgb else None

    def export_file(self):
        self.open_page("Land Options")
        self.pick(MAX_WIDENESS, 3, 5, "Maximun wideness:")
        path = self.export_to("terrain-run1.qmf")
        summary = self.summarize(path)
        print(f"    exported: {summary}")
        self.expect(summary.startswith("objects=16 vertices=16384 polygons=15376 "),
                    f"a 125 x 125 map should export as 16 objects of 32 x 32 vertices: {summary}")
        # 2048 units over 125 samples is a step of 16: 62 steps either side.
        self.expect(" x=-992..992 " in summary and summary.endswith(" z=-992..992"),
                    f"the export does not span 2048 units: {summary}")
        self.exported = summary

    def pass_to_host(self):
        self.click_control(PASS_TO_QUARN)
        line = self.host.wait_line(r"^received: (.*)$", 'the host to print "received:"')
        received = line.group(1)
        print(f"    host: received: {received}")
        self.expect("bad record" not in received, f"the host rejected the record: {received}")
        grid = re.sub(r"^\d+ bytes, ", "", received)
        self.expect(grid == self.exported,
                    f"the host got {grid!r}, the export wrote {self.exported!r}")
        self.close_message("Information")
        self.host.wait_line(r"^run 1: end$", "the first run to end")
        still_shown = [t for t, w in self.windows.items() if self.desk.is_viewable(w)]
        self.expect(not still_shown, f"windows still shown after the run ended: {still_shown}")
        saved = os.path.join(self.work, "received.txt")
        self.expect(os.path.isfile(saved), "the host did not save the received text")
        self.expect(self.summarize(saved) == self.exported,
                    "the saved text does not match the exported file's grid")

    def second_run(self):
        self.host.wait_line(r"^run 2: start$", "the second run to start")
        self.wait_for_run_windows()
        self.screenshot("second-run")
        self.wait_editor_size(125, "the second run's start")
        self.wait("the control window to draw its page", self.page_shown,
                  missing="the second run's control window shows none of its pages")
        if self.readme_shot:
            self.wait_settled(PREVIEW_TITLE)
            self.save_readme_shot()
        self.open_page("Land Options")
        summary = self.summarize(self.export_to("terrain-run2.qmf"))
        print(f"    exported in run 2: {summary}")
        self.expect(summary.startswith("objects=16 vertices=16384 polygons=15376 "),
                    f"the second run does not export the 125 x 125 map it started from: {summary}")

    def endings(self):
        editor = self.windows[EDITOR_TITLE]
        self.desk.x.watch_mapping(editor)
        self.desk.x.send_close_request(editor)
        events = []

        def reopened():
            events.extend(self.desk.x.mapping_events(editor))
            return "unmap" in events and "map" in events[events.index("unmap"):]
        self.wait("the closed editor window to reappear", reopened)
        # That the run goes on can only be seen by watching it for a while.
        watch_until = time.monotonic() + 1.0
        while time.monotonic() < watch_until:
            self.expect(self.host.find_line(r"^run 2: end$") is None,
                        "closing the editor window ended the run")
            for title in (EDITOR_TITLE, CONTROL_TITLE, PREVIEW_TITLE):
                self.expect(self.desk.is_viewable(self.windows[title]),
                            f'after closing the editor window "{title}" is not shown')
            time.sleep(0.1)
        self.screenshot("editor-reopened")
        # An unsaved change: Escape asks before it ends the run; Yes ends it.
        self.open_page("Paint")
        self.click_control(CLEAR_ALL)
        self.desk.move(*self.control_point(*EMPTY_SPOT))
        self.desk.key("Escape")
        question = self.wait('the question "Close the plug-in anyway?"',
                             lambda: self.desk.find_window("Warning"))
        self.wait_settled_window(question)
        self.screenshot("close-question")
        self.expect(self.host.find_line(r"^run 2: end$") is None,
                    "Escape with an unsaved change ended the run before asking")
        self.desk.key("Return")
        self.host.wait_line(r"^run 2: end$", "Yes to end the run")
        self.host.wait_line(r"^landscapes received: 1$", "the host's closing count")
        code = self.wait("the host to exit", lambda: self.host.process.poll() is not None
                         and (self.host.process.returncode,))
        self.expect(code == (0,), f"the host exited with {code[0]}")
        self.screenshot("ended")

    def save_readme_shot(self):
        boxes = [self.geometry(t) for t in (CONTROL_TITLE, PREVIEW_TITLE, EDITOR_TITLE)]
        # A margin where the screen has room: the plug-in places the windows
        # from the screen's top-left corner.
        x0 = max(0, min(b[0] for b in boxes) - 10)
        y0 = max(0, min(b[1] for b in boxes) - 10)
        x1 = min(self.desk.width, max(b[0] + b[2] for b in boxes) + 10)
        y1 = min(self.desk.height, max(b[1] + b[3] for b in boxes) + 10)
        self.desk.capture(x0, y0, x1 - x0, y1 - y0).save_png(self.readme_shot)


STEPS = [
    (1, "the three windows appear; the control window opens on Paint with Fix Draw lit",
     Suite.windows_at_start),
    (2, "Generate Map at 63x63 and Change Size to 125x125 resize the editor",
     Suite.map_sizes),
    (3, "Create Mountain raises the Max: readout and changes the preview",
     Suite.mountain_stroke),
    (4, "Enlarge x3 keeps the windows apart; each page shows", Suite.enlarge_and_pages),
    (5, "Rotate Right four times gives back the same editor image", Suite.rotations),
    (6, "Export to QMF at 2048 units writes a 16-object map file", Suite.export_file),
    (7, "Pass to Quarn hands the map to the host and ends the run", Suite.pass_to_host),
    (8, "a second run starts from the 125x125 terrain the first left",
     Suite.second_run),
    (9, "closing the editor does not end the run; Escape asks about the unsaved change",
     Suite.endings),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="build folder holding quarn-host")
    parser.add_argument("--display", help="use this X display instead of a private Xvfb")
    parser.add_argument("--readme-shot", help="also save a picture of the three windows here")
    parser.add_argument("--wm", help="start this window manager on the display first")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    if not os.access(os.path.join(build, "quarn-host"), os.X_OK):
        print(f"e2e: no quarn-host in {build}", file=sys.stderr)
        return 2

    started = time.monotonic()
    try:
        desk = Desk(args.display)
    except DeskError as error:
        print(f"e2e: {error}", file=sys.stderr)
        return 2
    wm = None
    if args.wm:
        try:
            wm = subprocess.Popen([args.wm], env=desk.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
            wait_for(f"{args.wm} to manage the display", lambda: "_NET_SUPPORTING_WM_CHECK" in
                     subprocess.run(["xprop", "-root"], env=desk.env, capture_output=True,
                                    text=True).stdout, WINDOW_TIMEOUT)
        except (OSError, TimeoutError) as error:
            print(f"e2e: the window manager {args.wm} did not start ({error}); "
                  f"'apt-get install {args.wm}' installs it", file=sys.stderr)
            desk.stop()
            return 2
    suite = Suite(build, desk, args.readme_shot and os.path.abspath(args.readme_shot), args.wm)
    failed = None
    try:
        for number, title, run in STEPS:
            suite.step = number
            t0 = time.monotonic()
            print(f"step {number}: {title}", flush=True)
            try:
                run(suite)
            except (StepFailed, DeskError) as error:
                failed = (number, title, str(error))
                break
            print(f"    ok ({time.monotonic() - t0:.1f} s)", flush=True)
        if failed:
            number, title, message = failed
            try:
                suite.screenshot("failed")
            except DeskError:
                pass
            print(f"e2e: step {number} FAILED ({title}): {message}", flush=True)
            print(f"    screenshots: {suite.screens}", flush=True)
            if suite.host:
                print("    host output:\n      " + "\n      ".join(suite.host.output()),
                      flush=True)
            not_run = [str(n) for n, _, _ in STEPS if n > number]
            if not_run:
                print(f"    steps not run: {', '.join(not_run)}", flush=True)
    finally:
        if suite.host:
            suite.host.stop()
        if wm:
            wm.terminate()
            wm.wait(timeout=10)
        desk.stop()
    print(f"e2e: {'FAILED' if failed else f'all {len(STEPS)} steps passed'} in "
          f"{time.monotonic() - started:.1f} s", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
