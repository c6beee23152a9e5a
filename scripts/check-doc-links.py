#!/usr/bin/env python3
''''exec python3 "$0" "$@" # '''
# (The line above hands the script to python3 when a shell runs it.)
#
# Checks every relative link of README.md and docs/**/*.md:
#   - the file or folder it names exists;
#   - its #anchor is made by a heading of the target page, spelt the same way
#     by GitHub (which shows README.md and the docs in the repository) and by
#     the site's Markdown (which builds docs/): a heading whose two spellings
#     differ (say one with "--" in it) cannot be linked safely;
#   - a link from a docs page stays inside docs/, since the site holds only
#     docs/ (a repository file outside it is named as code instead);
#   - every page of docs/ is in mkdocs.yml's nav, and every page the nav
#     names exists.
# --generated DIR: a copy of docs/ with the generated pages added (the
# options reference); its pages that docs/ lacks are checked too, and links
# from docs pages may lead to them.
# Exit 0 when all hold, 1 with one line per fault (file:line: ...), 2 on bad
# usage.
import argparse
import os
import re
import sys
import unicodedata

LINK = re.compile(r"(!?)\[((?:[^\[\]]|\[[^\[\]]*\])*)\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s*(```|~~~)")
NAV_PAGE = re.compile(r"^\s*-\s*(?:(?:\"[^\"]*\"|'[^']*'|[^:]+):\s*)?([^\s:\"']+\.md)\s*$")
SCHEME = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")


def prose_lines(text):
    """(line number, line) of the lines outside code blocks, code spans blanked."""
    in_fence = False
    previous_blank = True
    in_list = False
    in_indented_code = False
    for number, line in enumerate(text.split("\n"), 1):
        if FENCE.match(line):
            in_fence = not in_fence
            continue
        if in_fence:
            continue
        blank = not line.strip()
        indented = line.startswith("    ") or line.startswith("\t")
        if indented and (in_indented_code or (previous_blank and not in_list)):
            in_indented_code = True
            previous_blank = blank
            continue
        if not blank:
            in_indented_code = False
            if re.match(r"^\s*([-*+]|\d+\.)\s", line):
                in_list = True
            elif not line.startswith(" "):
                in_list = False
        previous_blank = blank
        # Code spans hold no links: blank them, keeping the columns.
        yield number, re.sub(r"(`+)(.+?)\1", lambda m: " " * len(m.group(0)), line)


def heading_text(raw):
    """A heading's text as the reader sees it: markup out, code kept."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", raw)
    text = text.replace("`", "")
    text = re.sub(r"(\*\*|__)(.+?)\1", r"\2", text)
    return text


def site_slug(text):
    """The id the site's Markdown (its table of contents) gives a heading."""
    value = unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode("ascii")
    value = re.sub(r"[^\w\s-]", "", value).strip().lower()
    return re.sub(r"[-\s]+", "-", value)


def github_slug(text):
    """The id GitHub gives a heading."""
    return re.sub(r"[^\w\- ]", "", text.strip().lower()).replace(" ", "-")


def anchors(path):
    """{anchor: (site id, GitHub id, heading)} for each heading of a page."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    found = {}
    used_site, used_github = {}, {}
    raw_lines = text.split("\n")
    for number, line in prose_lines(text):
        if not HEADING.match(line):
            continue
        # The code spans were blanked for the link search; read the raw line.
        raw = raw_lines[number - 1]
        title = heading_text(HEADING.match(raw).group(2))
        site, github = site_slug(title), github_slug(title)
        count = used_site.get(site, 0)
        used_site[site] = count + 1
        if count:
            site = f"{site}_{count}"
        count = used_github.get(github, 0)
        used_github[github] = count + 1
        if count:
            github = f"{github}-{count}"
        for anchor in {site, github}:
            found.setdefault(anchor, (site, github, title))
    for match in re.finditer(r"""<a\s+(?:id|name)=["']([^"']+)["']""", text):
        found.setdefault(match.group(1), (match.group(1), match.group(1), match.group(1)))
    return found


def main():
    parser = argparse.ArgumentParser(description="check the relative links of README.md and docs/")
    parser.add_argument("--generated", metavar="DIR", help="a copy of docs/ with generated pages added")
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    docs = os.path.join(root, "docs")
    generated = os.path.abspath(args.generated) if args.generated else None

    pages = [os.path.join(root, "README.md")]
    for directory, subdirs, files in os.walk(docs):
        subdirs.sort()
        pages += [os.path.join(directory, f) for f in sorted(files) if f.endswith(".md")]
    extra = []  # generated pages: in the copy, not in docs/
    if generated:
        for directory, subdirs, files in os.walk(generated):
            subdirs.sort()
            for f in sorted(files):
                path = os.path.join(directory, f)
                if f.endswith(".md") and not os.path.exists(os.path.join(docs, os.path.relpath(path, generated))):
                    extra.append(path)

    def shown(path):
        return os.path.relpath(path, root) if not path.startswith(generated or "\0") else path

    def in_docs(path):
        """The docs/ path of a page, whether in docs/ or in the generated copy."""
        if generated and (path == generated or path.startswith(generated + os.sep)):
            return os.path.join(docs, os.path.relpath(path, generated))
        return path

    def resolve(path):
        """Where a docs/ path really is: docs/ itself, else the generated copy."""
        if os.path.exists(path) or not generated:
            return path
        if path == docs or path.startswith(docs + os.sep):
            copy = os.path.join(generated, os.path.relpath(path, docs))
            if os.path.exists(copy):
                return copy
        return path

    faults = []
    anchor_cache = {}
    for page in pages + extra:
        with open(page, encoding="utf-8") as f:
            text = f.read()
        page_in_docs = in_docs(page)
        is_docs_page = page_in_docs.startswith(docs + os.sep)
        here = os.path.dirname(page_in_docs)
        for number, line in prose_lines(text):
            for match in LINK.finditer(line):
                target = match.group(3)
                if not target or SCHEME.match(target) or target.startswith("//"):
                    continue
                where = f"{shown(page)}:{number}"
                path_part, _, anchor = target.partition("#")
                if path_part.startswith("/"):
                    faults.append(f"{where}: link '{target}' is absolute; make it relative")
                    continue
                wanted = os.path.normpath(os.path.join(here, path_part)) if path_part else page_in_docs
                if is_docs_page and not (wanted == docs or wanted.startswith(docs + os.sep)):
                    faults.append(f"{where}: link '{target}' leaves docs/, which is all the site holds; "
                                  f"name the repository file as code instead")
                    continue
                # README.md is read in the repository, where generated pages do not exist.
                actual = resolve(wanted) if is_docs_page else wanted
                if not os.path.exists(actual):
                    faults.append(f"{where}: link '{target}': {os.path.relpath(wanted, root)} does not exist")
                    continue
                if not anchor:
                    continue
                if os.path.isdir(actual) or not actual.endswith(".md"):
                    faults.append(f"{where}: link '{target}': #{anchor} on a file that is not a Markdown page")
                    continue
                if actual not in anchor_cache:
                    anchor_cache[actual] = anchors(actual)
                known = anchor_cache[actual].get(anchor)
                if known is None:
                    faults.append(f"{where}: link '{target}': no heading of {os.path.relpath(wanted, root)} "
                                  f"makes #{anchor}")
                elif known[0] != known[1]:
                    faults.append(f"{where}: link '{target}': the heading '{known[2]}' is #{known[1]} on GitHub "
                                  f"but #{known[0]} on the site; link a heading both spell alike")

    config = os.path.join(root, "mkdocs.yml")
    if os.path.exists(config):
        listed = {}
        with open(config, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                match = NAV_PAGE.match(line)
                if match:
                    listed[os.path.normpath(match.group(1))] = number
        for name, number in listed.items():
            if not os.path.exists(resolve(os.path.join(docs, name))):
                faults.append(f"mkdocs.yml:{number}: the nav names {name}, which docs/ does not hold")
        for page in pages[1:]:
            name = os.path.relpath(page, docs)
            if name not in listed:
                faults.append(f"{shown(page)}:1: the page is not in mkdocs.yml's nav")

    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"check-doc-links: {len(faults)} broken link(s) or page(s)", file=sys.stderr)
        return 1
    print(f"check-doc-links: every relative link of README.md and the {len(pages) - 1 + len(extra)} docs pages "
          f"holds")
    return 0


if __name__ == "__main__":
    sys.exit(main())
