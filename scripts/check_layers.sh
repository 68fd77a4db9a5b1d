#!/usr/bin/env bash
# Checks that every #include between the folders of src/ points down the layers:
#
#   core < json < store < appearance < browser < reports < manifest
#        < flatfile, sam, interchange < filing < entry < app, cli
#
# Folders of one rank never include each other: the three file formats stand side by side,
# and app (the desktop shell) and cli (quarlctl) are the two tops. Within a folder, domain code never includes its screens (ui/), and no domain code
# includes any screen folder nor a header of Qt Widgets or Qt Print Support (the domain
# library links neither; "<QtWidgets/QWidget>" would still compile through Qt's top
# include folder). An include is resolved as the compiler does: beside the including
# file first, then from src/. Every file of src/ must be named in the source lists of
# CMakeLists.txt. A header and its source file are one unit; no unit reaches itself through
# the includes of others (an include circle), also within a folder. Prints each offending
# line or circle and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"
exec python3 - "$@" <<'PY'
import os, re, sys

RANK = {'core': 0, 'json': 1, 'store': 2, 'appearance': 3, 'browser': 4, 'reports': 5, 'manifest': 6,
        'flatfile': 7, 'sam': 7, 'interchange': 7, 'filing': 8, 'entry': 9, 'app': 10, 'cli': 10}
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

def unit(path):
    return os.path.splitext(path)[0]

bad = []
edges = {}
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
                    if unit(target) != unit(file):
                        edges.setdefault(unit(file), set()).add(unit(target))
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

# Include circles: the strongly connected parts of the graph of units (Tarjan's algorithm,
# iterative so that a long chain cannot exhaust the stack).
index, low, onstack, stack, circles = {}, {}, set(), [], []
counter = 0
for start in sorted(edges):
    if start in index:
        continue
    work = [(start, iter(sorted(edges.get(start, ()))))]
    index[start] = low[start] = counter; counter += 1
    stack.append(start); onstack.add(start)
    while work:
        node, children = work[-1]
        for child in children:
            if child not in index:
                index[child] = low[child] = counter; counter += 1
                stack.append(child); onstack.add(child)
                work.append((child, iter(sorted(edges.get(child, ())))))
                break
            if child in onstack:
                low[node] = min(low[node], index[child])
        else:
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                part = []
                while True:
                    top = stack.pop(); onstack.discard(top); part.append(top)
                    if top == node:
                        break
                if len(part) > 1:
                    circles.append(sorted(part))
def circle_path(part):
    # the shortest way from the part's first unit back to it, through the part
    members, first = set(part), part[0]
    came = {first: None}
    queue = [first]
    for node in queue:
        for child in sorted(edges.get(node, ())):
            if child == first:
                path = [node]
                while came[path[-1]] is not None:
                    path.append(came[path[-1]])
                return list(reversed(path)) + [first]
            if child in members and child not in came:
                came[child] = node
                queue.append(child)
    return part + [first]

for part in sorted(circles):
    bad.append('include circle: ' + ' -> '.join(circle_path(part)) +
               ('' if len(part) <= 2 else ' (the circle joins ' + ', '.join(part) + ')'))

for b in bad:
    print(b)
if bad:
    print('include layering broken')
    sys.exit(1)
print('include layering holds: every folder of src/ includes only from folders below it, domain code no screen, and no include circle')
PY
