#!/usr/bin/env python3
# The room check on small trees of its own: a link or include the table
# forbids must fail with its file, line and rooms; what it allows, and
# libraries from outside, must pass.
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-rooms.py")

ARCHITECTURE = """# Tree

## Layout

| Folder | What lives there | May include |
|---|---|---|
| `low/` | the bottom | nothing |
| `mid/` | the middle | `low/` |
| `top/` | the top | `mid/`, `low/` |

## Next
"""

BASE = {
    "low/CMakeLists.txt": "add_library(orvane_low STATIC low.cpp)\n",
    "low/low.cpp": "int low() { return 1; }\n",
    "mid/CMakeLists.txt": ("foreach(tag a b)\n  add_library(orvane_mid_${tag} STATIC mid.cpp)\n"
                           "  target_link_libraries(orvane_mid_${tag} PUBLIC orvane_low Ext::ext ${EXT_LIBS})\n"
                           "endforeach()\n"),
    "mid/mid.cpp": '#include "low/low.h"\n',
    "top/CMakeLists.txt": "add_executable(orvane_top main.cpp)\ntarget_link_libraries(orvane_top PRIVATE orvane_mid_a)\n",
    "top/main.cpp": '#include "mid/mid.h"\n',
}


def run(changes):
    with tempfile.TemporaryDirectory() as root:
        files = {**BASE, "docs/architecture.md": ARCHITECTURE, **changes}
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        done = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True, timeout=60)
        return done.returncode, done.stderr


class RoomCheck(unittest.TestCase):
    def test_cases(self):
        not_allowed = "which the Layout table of docs/architecture.md does not allow"
        cases = [
            ("allowed links and includes, external libraries", {}, 0, []),
            ("a link downward against the table", {
                "low/CMakeLists.txt": "add_library(orvane_low STATIC low.cpp)\n"
                                      "# a comment: orvane_top\n"
                                      "target_link_libraries(orvane_low\n  PUBLIC orvane_mid_b)\n"},
             1, [f"low/CMakeLists.txt:4: room low/ links orvane_mid_b of room mid/, {not_allowed}",
                 "0 include(s) and 1 link(s)"]),
            ("a target made in a loop links upward", {
                "mid/CMakeLists.txt": "add_library(orvane_mid_${tag} STATIC mid.cpp)\n"
                                      "target_link_libraries(orvane_mid_${tag} PUBLIC orvane_top)\n"},
             1, [f"mid/CMakeLists.txt:2: room mid/ links orvane_top of room top/, {not_allowed}"]),
            ("an include against the table", {"low/low.cpp": '#include "top/top.h"\n', "top/top.h": ""},
             1, [f"low/low.cpp:1: room low/ includes top/top.h of room top/, {not_allowed}",
                 "1 include(s) and 0 link(s)"]),
            ("the table's page without its Layout section", {"docs/architecture.md": "# Tree\n\n## Next\n"},
             2, ["docs/architecture.md: no '## Layout' section"]),
        ]
        for name, changes, status, lines in cases:
            with self.subTest(name):
                code, err = run(changes)
                self.assertEqual(code, status, err)
                for line in lines:
                    self.assertIn(line, err)


if __name__ == "__main__":
    unittest.main()
