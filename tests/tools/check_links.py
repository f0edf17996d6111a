#!/usr/bin/env python3
"""Every relative link of the Markdown files under a folder leads to a file or folder that exists
(anchors and web addresses aside).

usage: check_links.py FOLDER
"""

import pathlib
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)\)")


def main():
    root = pathlib.Path(sys.argv[1])
    pages = sorted(root.rglob("*.md"))
    broken = []
    links = 0
    for page in pages:
        for target in LINK.findall(page.read_text()):
            if re.match(r"[a-z]+:", target) or target.startswith("#"):
                continue
            links += 1
            if not (page.parent / target.partition("#")[0]).exists():
                broken.append(f"{page.relative_to(root)}: {target}")
    for line in broken:
        print(f"broken link: {line}")
    print(f"{links} relative links in {len(pages)} pages, {len(broken)} broken")
    return 1 if broken or not pages else 0


if __name__ == "__main__":
    sys.exit(main())
