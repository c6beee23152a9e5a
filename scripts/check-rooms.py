#!/usr/bin/env python3
''''exec python3 "$0" "$@" # '''
# (The line above hands the script to python3 when a shell runs it, as in
# `bash scripts/check-rooms.py`; to Python it is a string and does nothing.)
#
# Checks every quoted #include, and every target_link_libraries of the CMake
# files, against the room table in docs/architecture.md (its Layout section).
#
# A source file belongs to the room whose folder is the longest prefix of its
# path. It may include headers of its own room and of the rooms its row lists
# under "May include". A CMake target (orvane_*) belongs to the room of the
# folder whose CMakeLists.txt defines it, and may link targets of the same
# rooms; libraries from outside (CLI11::CLI11, ${HDF5_C_LIBRARIES}, ...) are
# no room and pass. The table itself must have no cycle. Exit 0 when every
# include and link is allowed, 1 with one line per offending one otherwise,
# 2 when the table cannot be read.
import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp")
SKIPPED_TOP = {".git"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
CMAKE_COMMAND = re.compile(r"\b(add_library|add_executable|target_link_libraries)\s*\(([^)]*)\)", re.I)
CMAKE_TOKEN = re.compile(r'"[^"]*"|[^\s"]+')
LINK_KEYWORDS = {"PUBLIC", "PRIVATE", "INTERFACE", "LINK_PUBLIC", "LINK_PRIVATE", "LINK_INTERFACE_LIBRARIES",
                 "debug", "optimized", "general"}


TABLE = os.path.join("docs", "architecture.md")


def read_table(path):
    """Returns {room: set(rooms) or None for any} from the Layout section."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    match = re.search(r"^## Layout\n(.*?)(?=^## |\Z)", text, re.S | re.M)
    if not match:
        raise ValueError(f"{TABLE}: no '## Layout' section")
    rooms = {}
    for line in match.group(1).splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) != 3 or not cells[0].startswith("`"):
            continue
        folders = re.findall(r"`([^`]+/)`", cells[0])
        allowed_text = cells[2]
        allowed = None if allowed_text == "any" else set(re.findall(r"`([^`]+/)`", allowed_text))
        for folder in folders:
            rooms[folder] = allowed
    if not rooms:
        raise ValueError(f"{TABLE}: the Layout table lists no rooms")
    return rooms


def room_of(path, rooms):
    best = None
    for room in rooms:
        if path.startswith(room) and (best is None or len(room) > len(best)):
            best = room
    return best


def find_cycle(rooms):
    graph = {r: (a or set()) for r, a in rooms.items() if a is not None}
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if nxt == node:
                continue
            if state.get(nxt) == "open":
                return trail + [node, nxt]
            if nxt not in state:
                found = visit(nxt, trail + [node])
                if found:
                    return found
        state[node] = "done"
        return None

    for room in sorted(graph):
        if room not in state:
            found = visit(room, [])
            if found:
                return found
    return None


def cmake_files(root):
    """Every CMakeLists.txt below root (relative paths), build trees left out."""
    for directory, subdirs, files in os.walk(root):
        relative_dir = os.path.relpath(directory, root)
        if relative_dir == ".":
            subdirs[:] = [d for d in subdirs if d not in SKIPPED_TOP and not d.startswith("build")]
        subdirs.sort()
        if "CMakeLists.txt" in files:
            yield os.path.normpath(os.path.join(relative_dir, "CMakeLists.txt"))


def cmake_commands(root, path):
    """(command, [(token, line)]) of each target command in a CMake file."""
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        # Comments out, lines kept, so that offsets still give line numbers.
        text = "".join(re.sub(r'#(?![^"\n]*"[^"\n]*$).*', "", line) for line in f)
    for match in CMAKE_COMMAND.finditer(text):
        tokens = [(t.group(0).strip('"'), text.count("\n", 0, match.start(2) + t.start()) + 1)
                  for t in CMAKE_TOKEN.finditer(match.group(2))]
        if tokens:
            yield match.group(1).lower(), tokens


def target_pattern(name):
    """A target name as a regular expression: ${var} parts match anything."""
    return re.compile("^" + ".+".join(re.escape(p) for p in re.split(r"\$\{[^}]*\}", name)) + "$")


def link_faults(root, rooms):
    """One line per target_link_libraries item the table does not allow."""
    targets = []  # (pattern, room) of each orvane_* target the CMake files define
    links = []  # (file, line, room of the linking target, item)
    files = list(cmake_files(root))
    for path in files:
        folder_room = room_of(path, rooms)
        for command, tokens in cmake_commands(root, path):
            name = tokens[0][0]
            if command != "target_link_libraries" and name.startswith("orvane_"):
                targets.append((target_pattern(name), folder_room))
    for path in files:
        folder_room = room_of(path, rooms)
        for command, tokens in cmake_commands(root, path):
            if command != "target_link_libraries":
                continue
            name = tokens[0][0]
            owners = {room for pattern, room in targets if pattern.match(name)} if name.startswith("orvane_") else set()
            room = owners.pop() if len(owners) == 1 else folder_room
            for item, line in tokens[1:]:
                if item in LINK_KEYWORDS or not item.startswith("orvane_"):
                    continue  # external libraries, variables and generator expressions are no room
                links.append((path, line, room, item))
    faults = []
    for path, line, room, item in links:
        allowed = rooms.get(room)
        if room is None or allowed is None:
            continue
        owners = {r for pattern, r in targets if pattern.match(item)}
        if len(owners) != 1:
            continue
        target = owners.pop()
        if target is None or target == room or target in allowed:
            continue
        faults.append(f"{path}:{line}: room {room} links {item} of room {target}, "
                      f"which the Layout table of docs/architecture.md does not allow")
    return faults, len(links)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    try:
        rooms = read_table(os.path.join(root, TABLE))
    except (OSError, ValueError) as error:
        print(f"check-rooms: {error}", file=sys.stderr)
        return 2
    for room, allowed in rooms.items():
        for target in allowed or ():
            if target not in rooms:
                print(f"check-rooms: {TABLE}: room {room} may include {target}, which the table does not list",
                      file=sys.stderr)
                return 2
    cycle = find_cycle(rooms)
    if cycle:
        print("check-rooms: the table has a cycle: " + " -> ".join(cycle), file=sys.stderr)
        return 1

    faults = []
    for directory, subdirs, files in os.walk(root):
        relative_dir = os.path.relpath(directory, root)
        if relative_dir == ".":
            subdirs[:] = [d for d in subdirs if d not in SKIPPED_TOP and not d.startswith("build")]
        for name in sorted(files):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.normpath(os.path.join(relative_dir, name))
            room = room_of(path, rooms)
            allowed = rooms.get(room)
            if room is None or allowed is None:
                continue
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    included = match.group(1)
                    target_path = included
                    if not os.path.exists(os.path.join(root, included)):
                        target_path = os.path.normpath(os.path.join(os.path.dirname(path), included))
                    target = room_of(target_path, rooms)
                    if target is None or target == room or target in allowed:
                        continue
                    faults.append(f"{path}:{number}: room {room} includes {included} of room {target}, "
                                  f"which the Layout table of docs/architecture.md does not allow")
    bad_links, link_count = link_faults(root, rooms)
    for fault in faults + bad_links:
        print(fault, file=sys.stderr)
    if faults or bad_links:
        print(f"check-rooms: {len(faults)} include(s) and {len(bad_links)} link(s) cross rooms against the table",
              file=sys.stderr)
        return 1
    print(f"check-rooms: every include and every link ({link_count}) keeps to the rooms of docs/architecture.md "
          f"({len(rooms)} rooms)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
