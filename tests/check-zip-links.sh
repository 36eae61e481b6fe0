#!/usr/bin/env bash
# Unpacks a release zip and checks that every relative link in its Markdown documents names a
# file inside the zip and, where it names a heading, a heading of that document.
# Usage: check-zip-links.sh ZIP
set -euo pipefail
(($# == 1)) || { echo "usage: $0 ZIP" >&2; exit 2; }
zip=$(realpath "$1")
unpacked=$(mktemp -d "${TMPDIR:-/tmp}/instdll-zip-links.XXXXXX")
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
python3 - "$unpacked" <<'PYTHON'
import os, re, sys

root = os.path.join(sys.argv[1], "")
fence = re.compile(r"^\s*(```|~~~)")
link = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
scheme = re.compile(r"^[a-z][a-z0-9+.-]*:", re.I)


def prose_lines(path):
    """Numbered lines outside fenced code."""
    inside = False
    with open(path, encoding="utf-8") as text:
        for number, line in enumerate(text, 1):
            if fence.match(line):
                inside = not inside
            elif not inside:
                yield number, line


def anchors(path):
    """The anchors a renderer of the GitHub kind gives the document's headings."""
    found, seen = set(), {}
    for _, line in prose_lines(path):
        heading = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if heading:
            base = re.sub(r"[^\w\- ]", "", heading.group(1).lower()).replace(" ", "-")
            count = seen.get(base, 0)
            seen[base] = count + 1
            found.add(base if count == 0 else f"{base}-{count}")
    return found


broken, checked = [], 0
for folder, _, files in os.walk(root):
    for name in sorted(files):
        if not name.endswith(".md"):
            continue
        source = os.path.join(folder, name)
        for number, line in prose_lines(source):
            for target in link.findall(re.sub(r"`[^`]*`", "", line)):
                if scheme.match(target):
                    continue
                checked += 1
                path, _, anchor = target.partition("#")
                resolved = os.path.normpath(os.path.join(folder, path)) if path else source
                where = f"{os.path.relpath(source, root)}:{number}: {target}"
                if not resolved.startswith(root) or not os.path.isfile(resolved):
                    broken.append(f"{where}: no such file in the zip")
                elif anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
                    broken.append(f"{where}: no such heading")
for line in broken:
    print(line, file=sys.stderr)
print(f"{checked} relative links checked, {len(broken)} broken")
sys.exit(1 if broken or checked == 0 else 0)
PYTHON
