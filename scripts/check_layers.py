#!/usr/bin/env python3
"""Keeps the layers of src/: a folder may include its own headers, those of its layer and those
below it, never one above. daduvov_core's sources include no Widgets header, directly or through
a header of the tree. SQLite is spoken in store/ only: no other folder calls the engine or holds
SQL text (the list's query builder, whose text is the user's record source, excepted). Prints each
offending line and exits 1 when there is one."""
import os
import re
import sys

# Lowest first; folders on one line form one layer.
LAYERS = [
    ("platform", "store"),
    ("settings", "controls"),
    ("shell", "exchange", "sync", "calendar"),
    ("day", "list", "todo", "options", "alarm", "syncview"),
    ("app",),
]
LEVEL = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}
WIDGETS = re.compile(r"^Q(Widget|Dialog|MainWindow|MessageBox|Application\b|Abstract(Button|ItemView|ScrollArea|Spin|Slider)|"
                     r"Label|PushButton|LineEdit|ComboBox|SpinBox|CheckBox|Menu|TableView|Layout|[HV]BoxLayout|GridLayout|"
                     r"Frame|Style|FileDialog|ToolTip|ScrollBar|HeaderView|StyledItemDelegate|ItemDelegate|ColorDialog)")
SQL_ALLOWED = {"store", "list/QueryBuilder.cpp", "list/QueryBuilder.h"}
SQL = re.compile(r'sqlite3_|<sqlite3\.h>|"[^"]*\b(SELECT\s.*\sFROM|INSERT\s+INTO|UPDATE\s+\S+\s+SET|DELETE\s+FROM|'
                 r'CREATE\s+(TABLE|INDEX|TRIGGER|VIEW)|DROP\s+TABLE|PRAGMA\s)', re.I)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
src = os.path.normpath(src)


def core_sources():
    """The files a CMakeLists adds to daduvov_core."""
    found = set()
    for folder in os.listdir(src):
        lists = os.path.join(src, folder, "CMakeLists.txt")
        if not os.path.isfile(lists):
            continue
        text = open(lists, encoding="utf-8").read()
        for block in re.findall(r"target_sources\(\s*daduvov_core\s+PRIVATE([^)]*)\)", text):
            found.update(os.path.join(folder, name) for name in block.split())
    return found


def includes(path):
    with open(os.path.join(src, path), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, line.rstrip("\n"), m.group(1), m.group(2)


faults = []
for folder in sorted(os.listdir(src)):
    if not os.path.isdir(os.path.join(src, folder)):
        continue
    if folder not in LEVEL:
        faults.append(f"src/{folder}: a folder outside the layers; add it to scripts/check_layers.py")
        continue
    for name in sorted(os.listdir(os.path.join(src, folder))):
        if not name.endswith((".cpp", ".h")):
            continue
        path = os.path.join(folder, name)
        for number, line, quote, target in includes(path):
            top = target.split("/")[0]
            if quote == '"' and "/" in target and top in LEVEL and LEVEL[top] > LEVEL[folder]:
                faults.append(f"src/{path}:{number}: {folder} includes {top}, a layer above it: {line.strip()}")

for folder in sorted(LEVEL):
    root = os.path.join(src, folder)
    if folder in SQL_ALLOWED or not os.path.isdir(root):
        continue
    for name in sorted(os.listdir(root)):
        path = os.path.join(folder, name)
        if not name.endswith((".cpp", ".h")) or path in SQL_ALLOWED:
            continue
        with open(os.path.join(src, path), encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                if SQL.search(line) and not line.lstrip().startswith("//"):
                    faults.append(f"src/{path}:{number}: SQL outside store/: {line.strip()}")

# Widgets reached from a core source, directly or through headers of the tree.
seen = {}


def widgets_in(path, trail):
    if path in seen:
        return seen[path]
    seen[path] = None
    result = None
    for number, line, quote, target in includes(path):
        if quote == "<" and (target.startswith("QtWidgets") or WIDGETS.match(target)):
            result = f"src/{path}:{number}: {line.strip()}"
        elif quote == '"' and os.path.isfile(os.path.join(src, target)):
            inner = widgets_in(target, trail + [path])
            if inner:
                result = f"{inner} (through src/{path}:{number})"
        if result:
            break
    seen[path] = result
    return result


for path in sorted(core_sources()):
    if not os.path.isfile(os.path.join(src, path)):
        continue
    found = widgets_in(path, [])
    if found:
        faults.append(f"src/{path}: daduvov_core reaches a Widgets header: {found}")

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
