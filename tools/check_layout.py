#!/usr/bin/env python3
"""Checks that dependencies run one way through the folders:

    apps/ -> frontend/ -> mavu/ -> core/, readers/, verify/ -> graph/

Every `#include "folder/..."` of a source file must name its own folder or
one below it.  python/ is a user of the library's public header only.
Prints each include that crosses the rule and exits 1; exits 0 when none
does.  Usage: check_layout.py [project root]
"""
import pathlib
import re
import sys

BELOW = {
    "graph": set(),
    "core": {"graph"},
    "readers": {"graph"},
    "verify": {"graph"},
    "mavu": {"core", "readers", "verify", "graph"},
    "frontend": {"mavu", "core", "readers", "verify", "graph"},
    "apps": {"frontend"},
}
# Headers outside the library's layers that a user of it may include.
PUBLIC = {"python": {"mavu/mavu.h", "mavu/options.h", "mavu/version.h"}}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/([^"]+)"', re.M)


def crossings(root):
    for folder, allowed in list(BELOW.items()) + list(PUBLIC.items()):
        for path in sorted((root / folder).glob("**/*")):
            if path.suffix not in (".h", ".hpp", ".cpp", ".cc"):
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for m in INCLUDE.finditer(text):
                target, rest = m.group(1), m.group(2)
                if target not in BELOW and target not in PUBLIC:
                    continue  # a system or third-party header
                ok = (f"{target}/{rest}" in allowed) if folder in PUBLIC else (target == folder or target in allowed)
                if not ok:
                    line = text.count("\n", 0, m.start()) + 1
                    yield f"{path.relative_to(root)}:{line}: {folder}/ includes {target}/{rest}"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[1])
    bad = list(crossings(root))
    for b in bad:
        print(b)
    if bad:
        print(f"{len(bad)} include(s) against the dependency direction (see README, Layout)")
        return 1
    print("layout: every include runs down the dependency direction")
    return 0


if __name__ == "__main__":
    sys.exit(main())
