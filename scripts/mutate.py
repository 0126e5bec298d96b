#!/usr/bin/env python3
"""Plants each fault of tests/mutants.txt alone and checks that the suite fails.

The tree is copied once into a separate build directory (optimised lightly, no
benchmarks, no sanitizers) and built once; then, per mutant, the copy's file is
changed, rebuilt incrementally, the whole ctest run, and the file restored.
A failing or timed-out test run means the mutant was caught. A mutant whose
text is no longer in the file (the code moved) is reported as stale and
counted apart, as is one that does not compile.

Usage: scripts/mutate.py [--only ID,...] [--list] [--dir build-mutate] [--jobs 2]
Run it on a display (make mutate starts a virtual one when none is set).
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "tests", "mutants.txt")


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


current = None  # the child process group running now


def run(cmd, timeout=None, log=None):
    """Runs cmd in its own process group; returns (exit code or None on
    time-out, seconds taken)."""
    start = time.monotonic()
    global current
    proc = subprocess.Popen(cmd, stdout=log or subprocess.DEVNULL, stderr=subprocess.STDOUT,
                            start_new_session=True)
    current = proc
    try:
        code = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        code = None
    finally:
        current = None
    return code, time.monotonic() - start


def stop(signum, frame):
    """Ends the running child group; the caller's finally puts the file back."""
    if current is not None:
        try:
            os.killpg(current.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--only", help="comma-separated mutant ids")
    parser.add_argument("--list", action="store_true", help="list the mutants and exit")
    parser.add_argument("--dir", default=os.path.join(ROOT, "build-mutate"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=0,
                        help="seconds per test run (default: 3 x the clean run + 60)")
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

    src = os.path.join(args.dir, "src")
    bld = os.path.join(args.dir, "build")
    os.makedirs(src, exist_ok=True)
    sync_tree(ROOT, src)
    log_path = os.path.join(args.dir, "mutate.log")
    log = open(log_path, "w")
    build = ["cmake", "--build", bld, "-j", str(args.jobs)]
    ctest = ["ctest", "--test-dir", bld, "-j", str(args.jobs), "--stop-on-failure",
             "--output-on-failure"]
    # The slow end-to-end run only when the unit tests all pass.
    phases = [ctest + ["-E", "^e2e$"], ctest + ["-R", "^e2e$"]]

    def run_suite(timeout=None):
        start, code = time.monotonic(), 0
        for phase in phases:
            left = None if timeout is None else max(1.0, timeout - (time.monotonic() - start))
            code, _ = run(phase, timeout=left, log=log)
            if code != 0:
                break
        return code, time.monotonic() - start
    if not os.path.exists(os.path.join(bld, "CMakeCache.txt")):
        code, _ = run(["cmake", "-S", src, "-B", bld, "-DCMAKE_BUILD_TYPE=None",
                       "-DCMAKE_CXX_FLAGS=-O1 -g0", "-DRELIEVO_BUILD_BENCHMARKS=OFF"], log=log)
        if code != 0:
            sys.exit("configure failed, see " + log_path)
    print("building the unchanged copy in %s ..." % bld, flush=True)
    code, took = run(build, log=log)
    if code != 0:
        sys.exit("the unchanged tree does not build, see " + log_path)
    print("  built in %.0f s; running the suite on it ..." % took, flush=True)
    code, clean = run_suite()
    if code != 0:
        sys.exit("the suite fails without any mutant, see " + log_path)
    limit = args.timeout or 3 * clean + 60
    print("  passes in %.0f s; a test run longer than %.0f s counts as caught" % (clean, limit),
          flush=True)

    results = {"caught": [], "missed": [], "stale": [], "no-build": []}
    for m in mutants:
        path = os.path.join(src, m["file"])
        try:
            with open(path, encoding="utf-8") as f:
                original = f.read()
        except OSError:
            original = ""
        count = original.count(m["find"])
        if count != 1:
            verdict, detail = "stale", ("text not found" if count == 0 else
                                        "text found %d times" % count)
        else:
            print("[%s] %s" % (m["id"], m["fault"]), file=log, flush=True)
            start = time.monotonic()
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(m["find"], m["repl"]))
            try:
                code, _ = run(build, log=log)
                if code != 0:
                    verdict, detail = "no-build", "does not compile"
                else:
                    code, _ = run_suite(timeout=limit)
                    if code is None:
                        verdict, detail = "caught", "time-out"
                    elif code != 0:
                        verdict, detail = "caught", "tests fail"
                    else:
                        verdict, detail = "missed", "all tests pass"
            finally:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(original)
            detail += " (%.0f s)" % (time.monotonic() - start)
        results[verdict].append(m["id"])
        print("%-8s %-24s %-40s %s" % (verdict.upper(), m["id"], m["fault"][:40], detail),
              flush=True)
    # Leave the copy built as the tree is, for the next run.
    run(build, log=log)

    live = len(results["caught"]) + len(results["missed"])
    share = 100.0 * len(results["caught"]) / live if live else 0.0
    print("mutate: %d caught, %d missed of %d (%.1f %%); %d stale, %d not compiling; log %s" % (
        len(results["caught"]), len(results["missed"]), live, share, len(results["stale"]),
        len(results["no-build"]), log_path))
    if results["missed"]:
        print("missed: " + ", ".join(results["missed"]))
    if results["stale"]:
        print("stale: " + ", ".join(results["stale"]))
    if results["no-build"]:
        print("not compiling: " + ", ".join(results["no-build"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
