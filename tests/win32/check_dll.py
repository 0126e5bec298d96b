#!/usr/bin/env python3
"""Checks the tables of the built DLL as objdump reads them, apart from any
code of ours: the export table Quarn looks names up in, and the imports a
user's machine must already have.
  check_dll.py exports OBJDUMP DLL
  check_dll.py imports OBJDUMP DLL
  check_dll.py identify WINE_RUN HOST_EXE   (the host's --identify under Wine)"""

import re
import subprocess
import sys

ENTRY_POINTS = {"PluginType": 0, "PluginName": 0, "PluginDescription": 0,
                "PluginQuarnVersion": 0, "PluginVersion": 0, "PluginAuthor": 0,
                "PluginEmail": 0, "PluginSetCallback": 4, "PluginExecute": 0}
# Present on every Windows since XP: nothing else may be needed beside the DLL.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "glu32.dll",
               "kernel32.dll", "msvcrt.dll", "ole32.dll", "opengl32.dll", "shell32.dll",
               "user32.dll", "ws2_32.dll"}


def exports(dump):
    """{name: address} from the export address table and the name table."""
    section = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    by_index = {int(i): name for i, name in re.findall(r"\[\s*(\d+)\]\s+(\S+)", section)}
    table = dump.split("Export Address Table", 1)[1].split("[Ordinal/Name Pointer]", 1)[0]
    rvas = {int(i): rva for i, rva in
            re.findall(r"\[\s*(\d+)\]\s+\+base\[\s*\d+\]\s+([0-9a-fA-F]+)\s", table)}
    return {name: rvas.get(i) for i, name in by_index.items()}


def check_exports(dump):
    found = exports(dump)
    wanted = set(ENTRY_POINTS) | {f"{n}@{b}" for n, b in ENTRY_POINTS.items()}
    problems = [f"missing export {n}" for n in sorted(wanted - set(found))]
    problems += [f"unexpected export {n}" for n in sorted(set(found) - wanted)]
    for name, arg_bytes in ENTRY_POINTS.items():
        plain, decorated = found.get(name), found.get(f"{name}@{arg_bytes}")
        if plain and decorated and plain != decorated:
            problems.append(f"{name} at {plain} but {name}@{arg_bytes} at {decorated}")
    print(f"{len(found)} exports: " + ", ".join(f"{n}={a}" for n, a in sorted(found.items())))
    return problems


def check_imports(dump):
    names = [n.lower() for n in re.findall(r"^\s*DLL Name: (\S+)", dump, re.M)]
    print("imports: " + " ".join(names))
    problems = [f"imports {n}, which is no Windows system DLL" for n in names
                if n not in SYSTEM_DLLS]
    return problems + ([] if names else ["no import table found"])


IDENTITY = ["type: 1", "name: Advanced Relievo", "description: Advanced version of Relievo Plugin",
            "quarn version: 0.862", "version: 1.0 Beta", 'author: Ettar Quell "Il Morvi"',
            "email: ilmorvi@relievo.example"]


def check_identify(wine_run, host):
    run = subprocess.run([wine_run, host, "--identify"], stdout=subprocess.PIPE, text=True,
                         timeout=600)
    if run.returncode == 77:
        sys.exit(77)  # wine-run has said why Wine cannot run here
    lines = [line.rstrip("\r") for line in run.stdout.splitlines()]
    print("\n".join(lines))
    return ([] if run.returncode == 0 else [f"the host exited with {run.returncode}"]) + (
        [] if lines == IDENTITY else [f"the identity is not {IDENTITY}"])


def main():
    what, objdump, dll = sys.argv[1:4]
    if what == "identify":
        problems = check_identify(objdump, dll)
        for p in problems:
            print("FAIL:", p)
        return 1 if problems else 0
    dump = subprocess.run([objdump, "-p", dll], check=True, stdout=subprocess.PIPE,
                          text=True).stdout
    problems = (check_exports if what == "exports" else check_imports)(dump)
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
