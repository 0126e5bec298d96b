#!/usr/bin/env python3
"""Non-blank lines of tests against non-blank lines of product C++.

Product: the C++ sources and headers of the system's folders and the stand-in
host, without the generated icon pixmap data. Tests: every C++ and Python file
under tests/ (fixtures and fuzz targets included). Prints both and their ratio.
"""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT_DIRS = ["plugin", "platform", "terrain", "editor", "ui", "preview", "export",
                "imagefiles", "host"]
ICON_DATA = {os.path.join("ui", "tool_icons_xpm.h")}
CPP = (".cpp", ".h", ".hpp", ".cc")


def count(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return sum(1 for line in f if line.strip())


def files(top, exts):
    for base, dirs, names in os.walk(os.path.join(ROOT, top)):
        dirs[:] = sorted(d for d in dirs if d != "__pycache__")
        for name in sorted(names):
            if name.endswith(exts):
                yield os.path.relpath(os.path.join(base, name), ROOT)


def main():
    product = sum(count(os.path.join(ROOT, p)) for d in PRODUCT_DIRS for p in files(d, CPP)
                  if p not in ICON_DATA)
    cpp_tests = sum(count(os.path.join(ROOT, p)) for p in files("tests", CPP))
    py_tests = sum(count(os.path.join(ROOT, p)) for p in files("tests", (".py",)))
    tests = cpp_tests + py_tests
    print("product C++: %d lines; tests: %d lines (C++ %d, Python %d); ratio %.2f" % (
        product, tests, cpp_tests, py_tests, tests / product))
    return 0


if __name__ == "__main__":
    sys.exit(main())
