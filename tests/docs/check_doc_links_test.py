#!/usr/bin/env python3
# The documentation's link check on small trees of its own: every kind of
# broken link fails with its file and line, sound links pass.
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-doc-links.py")

BASE = {
    "README.md": "# Tree\n\nSee [the guide](docs/guide.md#the-input) and [scripts](scripts/).\n",
    "scripts/tool.sh": "",
    "docs/index.md": "# Home\n\n[Guide](guide.md), [its options](guide.md#options), [a picture](p.png).\n",
    "docs/p.png": "",
    "docs/guide.md": ("# Guide\n\n## The input\n\n## Options\n\n## `run --sv`\n\n"
                      "Back to [home](index.md) and [here](#the-input).\n\n"
                      "    [not a link](nowhere.md) in a code block\n\n"
                      "`[not a link](nowhere.md)` in a code span\n"),
    "mkdocs.yml": "nav:\n  - Home: index.md\n  - Guide: guide.md\n",
}


def run(changes, generated=None):
    with tempfile.TemporaryDirectory() as root:
        for path, text in {**BASE, **changes}.items():
            if text is None:
                continue
            os.makedirs(os.path.dirname(os.path.join(root, path)) or root, exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        command = [sys.executable, SCRIPT, root]
        if generated:
            copy = os.path.join(root, "build", "docs-src")
            for path, text in generated.items():
                os.makedirs(os.path.dirname(os.path.join(copy, path)) or copy, exist_ok=True)
                with open(os.path.join(copy, path), "w", encoding="utf-8") as f:
                    f.write(text)
            command[2:2] = ["--generated", copy]
        done = subprocess.run(command, capture_output=True, text=True, timeout=60)
        return done.returncode, done.stderr


class DocLinks(unittest.TestCase):
    def test_cases(self):
        nav = "nav:\n  - Home: index.md\n  - Guide: guide.md\n  - Options: reference/index.md\n"
        cases = [
            ("sound links, code left alone", {}, None, 0, []),
            ("a page that does not exist", {"docs/index.md": "# Home\n\nSee\n[x](gone.md).\n"}, None,
             1, ["docs/index.md:4: link 'gone.md': docs/gone.md does not exist"]),
            ("an anchor no heading makes", {"README.md": "[x](docs/guide.md#outputs)\n"}, None,
             1, ["README.md:1: link 'docs/guide.md#outputs': no heading of docs/guide.md makes #outputs"]),
            ("an anchor GitHub and the site spell apart", {"docs/index.md": "[x](guide.md#run-sv)\n"}, None,
             1, ["docs/index.md:1: link 'guide.md#run-sv': the heading 'run --sv' is #run---sv on GitHub"]),
            ("a docs page linking outside docs/", {"docs/index.md": "[x](../scripts/tool.sh)\n"}, None,
             1, ["docs/index.md:1: link '../scripts/tool.sh' leaves docs/"]),
            ("a page the nav leaves out", {"docs/extra.md": "# Extra\n"}, None,
             1, ["docs/extra.md:1: the page is not in mkdocs.yml's nav"]),
            ("a generated page, linked and in the nav",
             {"docs/index.md": "[options](reference/index.md#run)\n", "mkdocs.yml": nav},
             {"reference/index.md": "# Options\n\n## run\n"}, 0, []),
            ("the generated page missing", {"docs/index.md": "[options](reference/index.md)\n", "mkdocs.yml": nav},
             None, 1, ["docs/index.md:1: link 'reference/index.md'", "mkdocs.yml:4: the nav names reference/index.md"]),
        ]
        for name, changes, generated, status, lines in cases:
            with self.subTest(name):
                code, err = run(changes, generated)
                self.assertEqual(code, status, err)
                for line in lines:
                    self.assertIn(line, err)


if __name__ == "__main__":
    unittest.main()
