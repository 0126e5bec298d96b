#!/usr/bin/env python3
"""Non-blank lines of tests against non-blank lines of product C++, both counted
in the tree's one format.

Every C++ file is formatted first (a copy, with the root .clang-format), so that
the count does not depend on how tightly a file happens to be packed. Product:
the C++ sources and headers of the system's folders and the stand-in host,
without the generated icon pixmap data. Tests: every C++ and Python file under
tests/ (fixtures and fuzz targets included). Prints both and their ratio, and
fails when a formatted test line is longer than the column limit. With --each,
also prints every test file's count.
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT_DIRS = ["plugin", "platform", "terrain", "editor", "ui", "preview", "export",
                "imagefiles", "host"]
ICON_DATA = {os.path.join("ui", "tool_icons_xpm.h")}
CPP = (".cpp", ".h", ".hpp", ".cc")
COLUMNS = 100


def files(top, exts):
    for base, dirs, names in os.walk(os.path.join(ROOT, top)):
        dirs[:] = sorted(d for d in dirs if d != "__pycache__")
        for name in sorted(names):
            if name.endswith(exts):
                yield os.path.relpath(os.path.join(base, name), ROOT)


def formatted_copy(paths, into):
    """Copies the files under `into` with the root style and formats the C++ ones."""
    shutil.copy(os.path.join(ROOT, ".clang-format"), into)
    cpp = []
    for rel in paths:
        dest = os.path.join(into, rel)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copy(os.path.join(ROOT, rel), dest)
        if rel.endswith(CPP):
            cpp.append(dest)
    if cpp:
        subprocess.run(["clang-format", "-i", "--style=file"] + cpp, check=True)


def lines(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return [line.rstrip("\n") for line in f if line.strip()]


def main():
    product = [p for d in PRODUCT_DIRS for p in files(d, CPP) if p not in ICON_DATA]
    cpp_tests = list(files("tests", CPP))
    py_tests = list(files("tests", (".py",)))
    with tempfile.TemporaryDirectory() as copy:
        formatted_copy(product + cpp_tests + py_tests, copy)
        count = {p: lines(os.path.join(copy, p)) for p in product + cpp_tests + py_tests}
    product_n = sum(len(count[p]) for p in product)
    cpp_n = sum(len(count[p]) for p in cpp_tests)
    py_n = sum(len(count[p]) for p in py_tests)
    tests = cpp_n + py_n
    print("formatted: product C++: %d lines; tests: %d lines (C++ %d, Python %d); ratio %.2f" % (
        product_n, tests, cpp_n, py_n, tests / product_n))
    if "--each" in sys.argv[1:]:
        for p in sorted(cpp_tests + py_tests, key=lambda p: len(count[p])):
            print("%5d %s" % (len(count[p]), p))
    long_lines = [(p, line) for p in cpp_tests for line in count[p] if len(line) > COLUMNS]
    for p, line in long_lines:
        print("%s: over %d columns: %s" % (p, COLUMNS, line.strip()[:60]), file=sys.stderr)
    return 1 if long_lines else 0


if __name__ == "__main__":
    sys.exit(main())
