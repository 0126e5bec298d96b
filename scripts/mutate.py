#!/usr/bin/env python3
"""Plants each fault of tests/mutants.txt alone and checks that the suite fails.

The tree is copied into one separate build directory per worker (optimised
lightly, no benchmarks, no sanitizers) and built once; then each worker takes
the next fault, changes its copy's file, rebuilds incrementally, runs the
tests, and restores the file. The tests run in up to four steps, each only
when the one before passed: the tests that caught an earlier fault in the same
file, the test files that exercise the changed folder (TESTED_BY), every other
unit test, then the end-to-end runs. A failing or timed-out step means the fault was
caught, so a caught fault costs only the tests that catch it. Putting a file
back reuses the object compiled from it before the first fault, instead of
compiling it again. A fault whose text is no longer in the file (the code moved)
is reported as stale and counted apart, as is one that does not compile.

Usage: scripts/mutate.py [--only ID,...] [--list] [--dir build-mutate] [--jobs 2]
                         [--matrix PATTERN]
Run it on a display (make mutate starts a virtual one when none is set).
"""
import argparse
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "tests", "mutants.txt")

# Which test files exercise a product file, by the longest matching path prefix.
# Only an ordering: the rest of the suite still runs when these pass.
TESTED_BY = {
    "terrain/": ["test_heightmap_ops.cpp", "test_drawing_tools.cpp"],
    "editor/drawing_tools": ["test_drawing_tools.cpp"],
    "editor/": ["test_plugin_run.cpp"],
    "plugin/exports": ["test_files.cpp", "test_plugin_run.cpp"],
    "plugin/recovery": ["test_recovery.cpp"],
    "plugin/": ["test_plugin_run.cpp", "test_recovery.cpp"],
    "ui/": ["test_control_window.cpp", "test_dialogs.cpp", "test_plugin_run.cpp",
            "test_drawing_tools.cpp"],
    "ui/image_commands": ["test_files.cpp", "test_control_window.cpp"],
    "ui/file_drop": ["test_control_window.cpp"],
    "preview/": ["test_preview.cpp", "test_plugin_run.cpp"],
    "export/": ["test_map_text.cpp", "test_files.cpp", "test_safe_writes.cpp"],
    "imagefiles/": ["test_files.cpp"],
    "platform/write_file": ["test_safe_writes.cpp", "test_files.cpp"],
    "platform/window": ["test_window_placement.cpp", "test_plugin_run.cpp"],
    "platform/": ["test_files.cpp", "test_dialogs.cpp", "test_safe_writes.cpp",
                  "test_plugin_run.cpp"],
    "host/": ["test_map_text.cpp", "test_files.cpp"],
}


# gold links the test program in a third of the time of the default linker.
LINKER = (["-D%s=-fuse-ld=gold" % v for v in ("CMAKE_EXE_LINKER_FLAGS", "CMAKE_SHARED_LINKER_FLAGS",
                                            "CMAKE_MODULE_LINKER_FLAGS")]
          if shutil.which("ld.gold") else [])


def suites_of(test_file):
    """The gtest suite names a test file defines (TEST, TEST_F and TEST_P)."""
    try:
        with open(os.path.join(ROOT, "tests", test_file), encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return set()
    return set(re.findall(r"\bTEST(?:_F|_P)?\(\s*(\w+)\s*,", text))


def first_tests(product_file):
    """A ctest -R pattern for the tests of the file, or None when none are known."""
    prefixes = [p for p in TESTED_BY if product_file.startswith(p)]
    if not prefixes:
        return None
    suites = sorted(set().union(*(suites_of(t) for t in TESTED_BY[max(prefixes, key=len)])))
    # ctest names: Suite.Case, and Instance/Suite.Case/Param for TEST_P.
    return "(^|/)(%s)\\." % "|".join(suites) if suites else None


def parse_mutants(path):
    """Blocks of `key: value` lines separated by blank lines; '#' lines are
    comments. In find/repl, a backslash-n stands for a line break."""
    mutants, block = [], {}

    def flush():
        if not block:
            return
        missing = {"id", "file", "find", "repl", "fault"} - block.keys()
        if missing:
            sys.exit("mutant %s lacks %s" % (block.get("id", "?"), ", ".join(sorted(missing))))
        mutants.append(dict(block))
        block.clear()

    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                flush()
                continue
            key, sep, value = line.partition(":")
            if not sep:
                sys.exit("%s:%d: expected 'key: value'" % (path, number))
            value = value[1:] if value.startswith(" ") else value
            if key in ("find", "repl"):
                value = value.replace("\\n", "\n")
            block[key.strip()] = value
    flush()
    ids = [m["id"] for m in mutants]
    dupes = {i for i in ids if ids.count(i) > 1}
    if dupes:
        sys.exit("duplicate mutant ids: " + ", ".join(sorted(dupes)))
    return mutants


def tracked_files():
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                         check=True, capture_output=True).stdout
    return [p for p in out.decode().split("\0") if p]


def sync_tree(src_root, dest_root):
    """Copies only what differs, so unchanged files keep their times and the
    build stays incremental from one run of this script to the next."""
    wanted = set(tracked_files())
    for base, _, names in os.walk(dest_root):
        for name in names:
            path = os.path.join(base, name)
            if os.path.relpath(path, dest_root) not in wanted:
                os.remove(path)  # gone from the tree: the build must not see it
    for rel in sorted(wanted):
        src = os.path.join(src_root, rel)
        if not os.path.isfile(src):
            continue
        dest = os.path.join(dest_root, rel)
        with open(src, "rb") as f:
            data = f.read()
        try:
            with open(dest, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            os.makedirs(os.path.dirname(dest), exist_ok=True)
        with open(dest, "wb") as f:
            f.write(data)
        shutil.copymode(src, dest)


children = set()  # the child process groups running now, of every worker
children_lock = threading.Lock()
stopping = threading.Event()


def run(cmd, timeout=None, log=None):
    """Runs cmd in its own process group; returns (exit code or None on
    time-out, seconds taken)."""
    start = time.monotonic()
    if stopping.is_set():
        raise KeyboardInterrupt
    proc = subprocess.Popen(cmd, stdout=log or subprocess.DEVNULL, stderr=subprocess.STDOUT,
                            start_new_session=True)
    with children_lock:
        children.add(proc)
    try:
        code = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        code = None
    finally:
        with children_lock:
            children.discard(proc)
    if stopping.is_set():
        raise KeyboardInterrupt
    return code, time.monotonic() - start


def stop(signum, frame):
    """Ends every running child group; each worker's finally puts its file back."""
    stopping.set()
    with children_lock:
        for proc in children:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass


class Worker:
    """One copy of the tree, its build and its log."""

    def __init__(self, top, jobs, matrix=None):
        self.src = os.path.join(top, "src")
        self.bld = os.path.join(top, "build")
        os.makedirs(self.src, exist_ok=True)
        sync_tree(ROOT, self.src)
        self.log_path = os.path.join(top, "mutate.log")
        self.log = open(self.log_path, "w")
        self.build_cmd = ["cmake", "--build", self.bld, "-j", str(jobs)]
        # Two at a time: the GUI tests spend most of their time waiting for the X server.
        self.ctest = ["ctest", "--test-dir", self.bld, "-j", "2"]
        self.kept = None  # (file, text, time, object, copy of the object) of the file changed
        self.matrix = matrix  # a ctest pattern: run all its tests on each fault, see --matrix

    def configure_and_build(self):
        code, _ = run(["cmake", "-S", self.src, "-B", self.bld, "-DCMAKE_BUILD_TYPE=None",
                       "-DCMAKE_CXX_FLAGS=-O1 -g0", "-DRELIEVO_BUILD_BENCHMARKS=OFF"] + LINKER,
                      log=self.log)
        if code != 0:
            return "configure failed, see " + self.log_path
        code, _ = run(self.build_cmd, log=self.log)
        return None if code == 0 else "the unchanged tree does not build, see " + self.log_path

    def failed_tests(self):
        """The names of the tests the last ctest run saw fail."""
        try:
            with open(os.path.join(self.bld, "Testing", "Temporary", "LastTestsFailed.log")) as f:
                return [line.strip().partition(":")[2] for line in f if ":" in line]
        except OSError:
            return []

    def run_suite(self, first=None, killers=(), timeout=None):
        """The steps in order, each only if the one before passed; returns the
        exit code of the last step run (None on time-out), the seconds taken and
        the tests that failed."""
        ctest = self.ctest + ["--stop-on-failure", "--output-on-failure"]
        steps = []
        if killers:
            steps.append(ctest + ["-R", "^(%s)$" % "|".join(re.escape(k) for k in killers)])
        if first:
            steps.append(ctest + ["-R", first])
        steps.append(ctest + ["-E", "^e2e" + ("|" + first if first else "")])
        steps.append(ctest + ["-R", "^e2e"])  # with and without a window manager
        start, code = time.monotonic(), 0
        for step in steps:
            left = None if timeout is None else max(1.0, timeout - (time.monotonic() - start))
            code, took = run(step, timeout=left, log=self.log)
            print("  step %s: exit %s in %.1f s" % (step[-1], code, took), file=self.log, flush=True)
            if code != 0:
                break
        return code, time.monotonic() - start, self.failed_tests() if code else []

    def object_of(self, rel):
        """The object file the build makes from a source, when it makes exactly one."""
        found = glob.glob(os.path.join(self.bld, "**", "CMakeFiles", "*.dir", rel + ".o"),
                          recursive=True)
        return found[0] if len(found) == 1 else None

    def keep_original(self, rel):
        """Keeps the unchanged file's text, time and object, to put back later."""
        path = os.path.join(self.src, rel)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        obj = self.object_of(rel)
        kept = os.path.join(os.path.dirname(self.bld), "kept.o")
        if obj:
            shutil.copyfile(obj, kept)
        self.kept = (rel, text, os.stat(path).st_mtime_ns, obj, kept)

    def put_back(self):
        """Restores the kept file. Its old time and a fresh copy of its old object
        let make skip the compile and only archive and link again."""
        if not self.kept:
            return
        rel, text, mtime, obj, kept = self.kept
        path = os.path.join(self.src, rel)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        if obj:
            os.utime(path, ns=(mtime, mtime))
            shutil.copyfile(kept, obj)  # newer than the library: make archives it again
        self.kept = None

    def try_mutant(self, m, limit, killers):
        if not self.kept or self.kept[0] != m["file"]:
            self.put_back()
            try:
                self.keep_original(m["file"])
            except OSError:
                return "stale", "file not found", []
        original = self.kept[1]
        count = original.count(m["find"])
        if count != 1:
            return "stale", "text not found" if count == 0 else "text found %d times" % count, []
        print("[%s] %s" % (m["id"], m["fault"]), file=self.log, flush=True)
        start = time.monotonic()
        path = os.path.join(self.src, m["file"])
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(m["find"], m["repl"]))
        code, took = run(self.build_cmd, log=self.log)
        print("  build: exit %s in %.1f s" % (code, took), file=self.log, flush=True)
        if code != 0:
            return "no-build", "does not compile (%.0f s)" % (time.monotonic() - start), []
        if self.matrix:
            # Every test of the pattern, none skipped: which of them catch this fault.
            code, _ = run(self.ctest + ["-R", self.matrix], timeout=limit, log=self.log)
            failed = self.failed_tests() if code else []  # none recorded after a time-out
        else:
            code, _, failed = self.run_suite(first_tests(m["file"]), killers, timeout=limit)
        if code is None:
            verdict, detail = "caught", "time-out"
        elif code != 0:
            verdict, detail = "caught", "%d tests fail" % len(failed)
        else:
            verdict, detail = "missed", "no test fails"
        return verdict, detail + " (%.0f s)" % (time.monotonic() - start), failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--only", help="comma-separated mutant ids")
    parser.add_argument("--list", action="store_true", help="list the mutants and exit")
    parser.add_argument("--dir", default=os.path.join(ROOT, "build-mutate"))
    parser.add_argument("--jobs", type=int, default=2, help="copies of the tree worked in parallel")
    parser.add_argument("--timeout", type=float, default=0,
                        help="seconds per test run (default: 3 x the clean run + 60)")
    parser.add_argument("--matrix", metavar="PATTERN",
                        help="run every test matching PATTERN on each fault, with no other step, "
                        "and write which tests catch which fault to DIR/matrix.txt")
    args = parser.parse_args()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    mutants = parse_mutants(LIST)
    if args.only:
        wanted = [i.strip() for i in args.only.split(",") if i.strip()]
        unknown = set(wanted) - {m["id"] for m in mutants}
        if unknown:
            sys.exit("unknown mutant ids: " + ", ".join(sorted(unknown)))
        by_id = {m["id"]: m for m in mutants}
        mutants = [by_id[i] for i in dict.fromkeys(wanted)]  # in the order given
    if args.list:
        for m in mutants:
            print("%-24s %-34s %s" % (m["id"], m["file"], m["fault"]))
        return 0

    began = time.monotonic()
    jobs = max(1, min(args.jobs, len(mutants)))
    # Each copy builds with one compiler per core it gets.
    workers = [Worker(os.path.join(args.dir, "w%d" % i), 1 if jobs > 1 else args.jobs,
                      args.matrix) for i in range(jobs)]
    print("building %d unchanged cop%s in %s ..." % (jobs, "y" if jobs == 1 else "ies", args.dir),
          flush=True)
    errors = [None] * jobs
    threads = [threading.Thread(target=lambda i=i: errors.__setitem__(
        i, workers[i].configure_and_build())) for i in range(jobs)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if any(errors):
        sys.exit(next(e for e in errors if e))
    print("  built in %.0f s; running the suite on one ..." % (time.monotonic() - began),
          flush=True)
    code, clean, _ = workers[0].run_suite()
    if code != 0:
        sys.exit("the suite fails without any mutant, see " + workers[0].log_path)
    limit = args.timeout or 3 * clean + 60
    print("  passes in %.0f s; a test run longer than %.0f s counts as caught" % (clean, limit),
          flush=True)

    results = {"caught": [], "missed": [], "stale": [], "no-build": []}
    queue = list(reversed(mutants))
    lock = threading.Lock()
    killers = {}  # file -> the tests that caught a fault in it, the latest first
    matrix = []

    def work(worker):
        last_file = None
        while not stopping.is_set():
            with lock:
                if not queue:
                    return
                # The same file as the last fault when there is one: one compile, not two.
                same = [i for i, q in enumerate(queue) if q["file"] == last_file]
                m = queue.pop(same[-1] if same else -1)
                last_file = m["file"]
                known = killers.get(m["file"], [])[:6]
            try:
                verdict, detail, failed = worker.try_mutant(m, limit, known)
            except KeyboardInterrupt:
                worker.put_back()
                return
            with lock:
                if args.matrix:
                    timed_out = verdict == "caught" and not failed
                    names = " ".join(sorted(failed)) or ("(time-out)" if timed_out else "-")
                    matrix.append("%s: %s" % (m["id"], names))
                failed = [t for t in failed if not t.startswith("e2e")]  # slow: kept last
                if failed:
                    killers[m["file"]] = list(dict.fromkeys(failed + known))
                results[verdict].append(m["id"])
                print("%-8s %-24s %-40s %s" % (verdict.upper(), m["id"], m["fault"][:40], detail),
                      flush=True)

    threads = [threading.Thread(target=work, args=(w,)) for w in workers]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for w in workers:
        w.put_back()
    if args.matrix:
        with open(os.path.join(args.dir, "matrix.txt"), "w") as f:
            f.write("\n".join(sorted(matrix)) + "\n")
    if stopping.is_set():
        return 130
    # Leave the copies built as the tree is, for the next run.
    for w in workers:
        run(w.build_cmd, log=w.log)

    live = len(results["caught"]) + len(results["missed"])
    share = 100.0 * len(results["caught"]) / live if live else 0.0
    total = len(mutants)
    print("mutate: %d caught, %d missed of %d (%.1f %%); %d stale (%.1f %% of %d), "
          "%d not compiling; %.1f min with %d cop%s; logs %s/w*/mutate.log" % (
              len(results["caught"]), len(results["missed"]), live, share, len(results["stale"]),
              100.0 * len(results["stale"]) / total if total else 0.0, total,
              len(results["no-build"]), (time.monotonic() - began) / 60, jobs,
              "y" if jobs == 1 else "ies", args.dir))
    for verdict in ("missed", "stale", "no-build"):
        if results[verdict]:
            print("%s: %s" % ("not compiling" if verdict == "no-build" else verdict,
                              ", ".join(sorted(results[verdict]))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
