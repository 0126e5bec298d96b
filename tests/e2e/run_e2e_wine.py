#!/usr/bin/env python3
"""The Windows DLL run through quarn-host.exe under Wine as a person uses it: pointer and
keys (xdotool) on the real windows and the real Win32 dialogs and message boxes of a
private Xvfb, checked on the screen, in the host's output and in the files written, and
against the Linux build's map text for the same image.
Usage: run_e2e_wine.py --build BUILD_WIN32 --linux-build BUILD"""

import argparse, os, subprocess, sys, time  # noqa: E401

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import (CLEAR_ALL, CONTROL, EDITOR, EMPTY_SPOT, EXPORT, GENERATE_MAP,  # noqa: E402
                     HEIGHTMAP_TAB, LAND_TAB, MOUNTAIN, PAINT_TAB, PASS_TO_QUARN, PREVIEW, Suite,
                     run_steps)

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LOAD_IMAGE, CLOSE_PLUGIN = (87, 287), (212, 277)
IMAGE = "grey.png"  # 100 x 80: a 125 x 125 map


class WineSuite(Suite):
    def __init__(self, build, linux_build):
        super().__init__(build, None, None)
        self.linux_build = linux_build
        self.env.update(WINEPREFIX=os.path.join(build, "wine"), WINEDEBUG="-all")

    def start_host(self, *args):
        with open(self.host_output, "w") as output:
            self.host = subprocess.Popen(
                [os.path.join(ROOT, "scripts", "wine-run.sh"),
                 os.path.join(self.build, "quarn-host.exe"), *args],
                cwd=self.work, env=self.env, stdout=output, stderr=subprocess.STDOUT)

    def keys(self, window, *keys):  # no window manager: the window is given the focus first
        self.xdotool("windowfocus", window.id, "key", "--delay", 50, *keys)

    def type_into(self, title, text):
        """A Win32 file dialog: the name typed into its focused name field, then Enter."""
        dialog = self.wait(f'the "{title}" dialog', lambda: self.find(title), 60.0)
        self.settled(dialog)
        self.xdotool("windowfocus", dialog.id, "type", "--delay", 30, text)
        self.keys(dialog, "Return")
        self.wait(f'the "{title}" dialog to close', lambda: not self.find(title))

    def answer(self, title, key="Return"):  # Return takes the first button: OK, Yes
        box = self.wait(f'the "{title}" message box', lambda: self.find(title), 30.0)
        self.settled(box)
        self.keys(box, key)
        self.wait(f'the "{title}" box to close', lambda: not self.find(title))

    def changed(self, what, before):
        return self.wait(what, lambda: (shot := self.image(EDITOR)) != before and shot)

    def file(self, name):
        with open(os.path.join(self.work, name), "rb") as f:
            return f.read()

    # -- the scenario ------------------------------------------------------------------------

    def windows_and_preview(self):
        subprocess.run(["convert", "-seed", "11", "-size", "100x80", "plasma:fractal",
                        "-colorspace", "gray", os.path.join(self.work, IMAGE)], check=True)
        self.start_host("--runs", "2", "--save", "received.txt")
        self.wait("Wine to start the host", lambda: self.host_line(r"^run 1: start"), 180.0)
        self.run_windows()
        self.expect(self.box(EDITOR)[2:] == (249, 249), f"the editor is {self.box(EDITOR)}")
        colours = len(set(zip(*[iter(self.settled(PREVIEW))] * 4)))
        print(f"    preview: {colours} colours")
        self.expect(colours >= 50, f"the preview shows {colours} colours: no shaded terrain")

    def generate_stroke_undo_redo(self):
        before = self.settled(EDITOR)
        self.click(HEIGHTMAP_TAB)
        self.click(GENERATE_MAP)
        self.changed('"Generate Map" to change the map', before)
        self.click(PAINT_TAB)
        self.click(MOUNTAIN)
        self.point((100, 95), EDITOR)
        before = self.settled(EDITOR)
        self.xdotool("mousedown", 1)
        self.changed("the stroke to raise the map", before)
        self.point((90, 90), EDITOR)
        self.point((100, 95), EDITOR, "mouseup", 1)
        stroked = self.settled(EDITOR)
        self.keys(self.windows[EDITOR], "ctrl+z")
        self.wait("Ctrl+Z to give back the map before the stroke",
                  lambda: self.image(EDITOR) == before)
        self.keys(self.windows[EDITOR], "ctrl+y")
        self.wait("Ctrl+Y to give back the stroke", lambda: self.image(EDITOR) == stroked)

    def close_question_no(self):
        self.click(LAND_TAB)
        self.click(CLOSE_PLUGIN)
        self.answer("Warning", "n")
        self.point(EMPTY_SPOT)
        self.expect(self.find(CONTROL) and not self.host_line(r"^run 1: end"),
                    "No to the close question ended the run")

    def load_export_pass(self):
        self.click(PAINT_TAB)
        self.click(LOAD_IMAGE)
        self.type_into("Load Image file", IMAGE)
        self.editor_side(125, f'"Load Image" of the 100 x 80 {IMAGE}')
        self.click(LAND_TAB)
        self.click(EXPORT)
        self.type_into("Save to QMF file", "loaded.qmf")
        self.answer("QMF exporter")
        linux = os.path.join(self.work, "linux.txt")
        subprocess.run([os.path.join(self.linux_build, "map_text_of_image"),
                        os.path.join(self.work, IMAGE), linux], check=True, timeout=60)
        linux = self.file("linux.txt")
        exported = self.file("loaded.qmf")
        self.expect(b"\n" not in exported.replace(b"\r\n", b""), "a line of the .qmf ends in LF")
        # The file form ends each record in a line break (CR LF here), the host form in ';'.
        self.expect(exported.replace(b"\r\n", b";") == linux,
                    f"the .qmf ({len(exported)} bytes) is not the Linux text ({len(linux)} bytes)")
        print(f"    loaded.qmf: {len(exported)} bytes, the Linux build's text with CR LF")
        self.click(PASS_TO_QUARN)
        self.wait("the host to receive", lambda: self.host_line(r"^received: "))
        self.answer("Information")
        self.wait("the first run to end", lambda: self.host_line(r"^run 1: end$"))
        self.expect(self.file("received.txt") == linux, "the hand-off differs from Linux's text")

    def second_run_escape_yes(self):
        self.wait("the second run", lambda: self.host_line(r"^run 2: start$"))
        self.windows.clear()
        self.run_windows()
        self.editor_side(125, "the second run's start on the loaded map")
        before = self.settled(EDITOR)
        self.click(PAINT_TAB)
        self.click(CLEAR_ALL)  # an unsaved change: closing asks
        self.changed('"Clear All" to flatten the map', before)
        started = time.monotonic()
        self.keys(self.windows[CONTROL], "Escape")
        self.answer("Warning")  # Yes
        print(f"    Escape to the question and Yes: {time.monotonic() - started:.1f} s")
        self.wait("the host's count", lambda: self.host_line(r"^landscapes received: 1$"))
        self.wait("the host to exit", lambda: self.host.poll() is not None, 60.0)
        self.expect(self.host.returncode == 0, f"the host exited with {self.host.returncode}")


STEPS = [WineSuite.windows_and_preview, WineSuite.generate_stroke_undo_redo,
         WineSuite.close_question_no, WineSuite.load_export_pass, WineSuite.second_run_escape_yes]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--linux-build", required=True)
    args = parser.parse_args()
    check = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"), "--check"])
    if check.returncode:
        return check.returncode  # it has said why Wine cannot run here
    started = time.monotonic()
    suite = WineSuite(os.path.abspath(args.build), os.path.abspath(args.linux_build))
    failed = True
    try:
        failed = not run_steps(suite, STEPS, "e2e-wine")
    finally:
        if suite.host and suite.host.poll() is None:
            suite.host.terminate()
            suite.host.wait(timeout=10)
        subprocess.run(["wineserver", "-k"], env=suite.env, timeout=60)  # this prefix's only
        suite.xvfb.terminate()
        suite.xvfb.wait(timeout=10)
    print(f"e2e-wine: {'FAILED' if failed else 'passed'} in {time.monotonic() - started:.1f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
