#!/usr/bin/env bash
# Checks that every #include between the folders of src/ points down the layers:
#
#   core < store < appearance < browser < reports < igm < entry < app, cli
#
# app (the desktop shell) and cli (quarlctl) are the two tops and never include each
# other. Within a folder, domain code never includes its screens (ui/), and no domain code
# includes any screen folder nor a header of Qt Widgets or Qt Print Support (the domain
# library links neither; "<QtWidgets/QWidget>" would still compile through Qt's top
# include folder). An include is resolved as the compiler does: beside the including
# file first, then from src/. Every file of src/ must be named in the source lists of
# CMakeLists.txt. Prints each offending line and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"
exec python3 - "$@" <<'PY'
import os, re, sys

RANK = {'core': 0, 'store': 1, 'appearance': 2, 'browser': 3, 'reports': 4, 'igm': 5, 'entry': 6,
        'app': 7, 'cli': 7}
QT = next((d for d in ('/usr/include/x86_64-linux-gnu/qt6', '/usr/include/aarch64-linux-gnu/qt6',
                       '/usr/include/qt6') if os.path.isdir(d + '/QtWidgets')), None)
quoted = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
angled = re.compile(r'^\s*#\s*include\s*<([^>]+)>')

def screen_module(header):
    top = header.split('/')[0]
    if top in ('QtWidgets', 'QtPrintSupport'):
        return top
    if QT and header.startswith('Q') and '/' not in header:
        for module in ('QtWidgets', 'QtPrintSupport'):
            if os.path.isfile(os.path.join(QT, module, header)):
                return module
    return None

def resolve(file, written):
    for base in (os.path.dirname(file), '.'):
        path = os.path.normpath(os.path.join(base, written))
        if os.path.isfile(path):
            return path
    return None  # not ours: a generated header

bad = []
for root, _, names in os.walk('.'):
    for name in sorted(names):
        if not name.endswith(('.cpp', '.h')):
            continue
        file = os.path.normpath(os.path.join(root, name))
        domain = '/ui/' not in '/' + file and file != 'app/main.cpp'
        with open(file, encoding='utf-8', errors='replace') as f:
            for number, line in enumerate(f, 1):
                hit = '%s:%d:%s' % (file, number, line.rstrip('\n'))
                m = quoted.match(line)
                if m:
                    target = resolve(file, m.group(1))
                    if target is None:
                        continue
                    if target.startswith('..'):
                        bad.append('outside src: ' + hit); continue
                    src, dst = file.split('/')[0], target.split('/')[0]
                    if src not in RANK or dst not in RANK:
                        bad.append('unknown layer: ' + hit)
                    elif src != dst and RANK[dst] >= RANK[src]:
                        bad.append('upward: ' + hit)
                    elif domain and '/ui/' in '/' + target:
                        bad.append('domain code includes a screen: ' + hit)
                    continue
                m = angled.match(line)
                if m and domain:
                    module = screen_module(m.group(1))
                    if module:
                        bad.append('domain code includes %s: %s' % (module, hit))

# Every source file is named in the build's lists (a header left out compiles but is
# missed by the tools that read the lists).
with open('../CMakeLists.txt', encoding='utf-8') as f:
    listed = set(re.findall(r'\bsrc/([\w/]+\.(?:cpp|h))\b', f.read()))
for root, _, names in os.walk('.'):
    for name in sorted(names):
        file = os.path.normpath(os.path.join(root, name))
        if name.endswith(('.cpp', '.h')) and file not in listed:
            bad.append('not in the source lists of CMakeLists.txt: ' + file)

for b in bad:
    print(b)
if bad:
    print('include layering broken')
    sys.exit(1)
print('include layering holds: every folder of src/ includes only from folders below it, and domain code no screen')
PY
