#!/usr/bin/env python3
"""Builds data/ports_unlocode.tsv, the port master of new company databases.

Rows, each code once (the first row wins):
  1. the master of the older releases (data/ports.tsv) and the rows of the 2.0.1 and
     2.0.3 port lists, with their names as they stand, so that an upgraded database and
     a new one hold the same names for the same codes;
  2. every sea port of the UN/LOCODE list (function position 1), 5-character code;
  3. every Indian location of the list in the 6-character customs form: code + "1" for a
     sea port, code + "6" for an inland container depot or SEZ (function position 6).
Names are the list's name without diacritics + "-" + code.

Usage: scripts/make_port_master.py /path/to/unlocode/locations.tsv > data/ports_unlocode.tsv
"""
import sys
from pathlib import Path

DATA = Path(__file__).resolve().parent.parent / "data"


def rows(path):
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.strip() and not line.startswith("#"):
            code, name = line.split("\t")[:2]
            yield code, name


def locations(path):
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("#") or not line.strip():
            continue
        f = line.split("\t")
        code, name, function = f[0], f[1], f[5] if len(f) > 5 else ""
        if '"' in line:
            # A name with a comma that the list's conversion split across columns
            # ("Tsubata, Ishikawa"): only sea ports are in the file, so the function is known.
            name = f[2].strip('"') + ", " + f[1].strip().strip('"')
            function = "1-------"
        yield code, name.strip(), function


def main():
    source = Path(sys.argv[1])
    out = {}
    for table in ("ports.tsv", "ports_2_0_1.tsv", "ports_2_0_3.tsv"):
        for code, name in rows(DATA / table):
            out.setdefault(code, name)
    for code, name, function in locations(source):
        sea = function[:1] == "1"
        depot = len(function) > 5 and function[5] == "6"
        if sea:
            out.setdefault(code, f"{name}-{code}")
        if code.startswith("IN"):
            if sea:
                out.setdefault(code + "1", f"{name}-{code}1")
            if depot:
                out.setdefault(code + "6", f"{name}-{code}6")
    print("# Source: UN/LOCODE code list of UNECE (sea ports, function 1; Indian inland container depots,")
    print("# function 6) as redistributed by github.com/geoapify/un-locode 1.0.1 (MIT licence, 2024), made by")
    print("# scripts/make_port_master.py; Indian locations also in the 6-character customs form (code + 1 sea")
    print("# port, code + 6 ICD/SEZ); the rows of ports.tsv, ports_2_0_1.tsv and ports_2_0_3.tsv kept as they stand")
    print("# PORT_CD, PORT_NM (place name-code); INIXY1 is the code written where a port is not known.")
    for code in sorted(out):
        print(f"{code}\t{out[code]}")


main()
