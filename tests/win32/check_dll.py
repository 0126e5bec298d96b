#!/usr/bin/env python3
"""Checks the built DLL as objdump reads it, apart from any code of ours: the
export table Quarn looks names up in, and the imports a user's machine must
already have; and the identity the host reads through it under Wine.
  check_dll.py exports|imports OBJDUMP DLL
  check_dll.py identify WINE_RUN HOST_EXE"""

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
IDENTITY = ["type: 1", "name: Advanced Relievo", "description: Advanced version of Relievo Plugin",
            "quarn version: 0.862", "version: 1.0 Beta", 'author: Ettar Quell "Il Morvi"',
            "email: ilmorvi@relievo.example"]


def check_exports(dump):
    """Each entry point under its plain and its stdcall name, both at one address."""
    names = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    addresses = dump.split("Export Address Table", 1)[1].split("[Ordinal/Name Pointer]", 1)[0]
    rvas = dict(re.findall(r"\[\s*(\d+)\]\s+\+base\[\s*\d+\]\s+([0-9a-fA-F]+)\s", addresses))
    found = {name: rvas.get(i) for i, name in re.findall(r"\[\s*(\d+)\]\s+(\S+)", names)}
    print(f"{len(found)} exports: " + ", ".join(f"{n}={a}" for n, a in sorted(found.items())))
    wanted = set(ENTRY_POINTS) | {f"{n}@{b}" for n, b in ENTRY_POINTS.items()}
    return ([f"missing export {n}" for n in sorted(wanted - set(found))] +
            [f"unexpected export {n}" for n in sorted(set(found) - wanted)] +
            [f"{n} and {n}@{b} at two addresses" for n, b in ENTRY_POINTS.items()
             if found.get(n) and found.get(f"{n}@{b}") and found[n] != found[f"{n}@{b}"]])


def check_imports(dump):
    names = [n.lower() for n in re.findall(r"^\s*DLL Name: (\S+)", dump, re.M)]
    print("imports: " + " ".join(names))
    return ([f"imports {n}, which is no Windows system DLL" for n in names
             if n not in SYSTEM_DLLS] + ([] if names else ["no import table found"]))


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
    what, tool, target = sys.argv[1:4]
    if what == "identify":
        problems = check_identify(tool, target)
    else:
        dump = subprocess.run([tool, "-p", target], check=True, stdout=subprocess.PIPE,
                              text=True).stdout
        problems = (check_exports if what == "exports" else check_imports)(dump)
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
