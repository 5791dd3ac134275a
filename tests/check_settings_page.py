#!/usr/bin/env python3
"""Checks docs/settings-file.md against the code: every key the program reads or writes in
the settings file has a row on the page, and every row is a key the code still uses (which
also tells when this scan no longer sees a key the code reaches in a new way). Section and
key names are compared without regard to case, as the program matches them. Exits 1 with
the names that are missing; takes well under a second."""

import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
PAGE = ROOT / "docs" / "settings-file.md"
# The video list's 500 numbered keys, however the code spells the number.
SLOTS = "Name1 to Name500"

SECTION = r'(?:"(?P<section>[^"]+)"|(?P<constant>k\w+))'
KEY = r'(?:(?P<slot>SlotKey\(|"Name" \+)|"(?P<key>[^"]+)")'
# A read, a write, a removal or a queued change (a list's `{section, key, value}` too): the
# section, then the key. Any section counts, so a new one must be on the page as well.
METHOD = (r'\b(?:read(?:Integer|Bool|String)|write(?:Integer|Bool|String)|deleteKey'
          r'|integer|text|remove|push_back)')
CALL = re.compile(METHOD + r'\(\s*\{?\s*' + SECTION + r'\s*,\s*' + KEY)
# Helpers that take the key alone, for the one section they serve.
HELPER = re.compile(r'\b(?:muteChoice|boolean)\(\s*"(?P<key>\w+)"')
CONSTANT = re.compile(r'constexpr const char\* (k\w+) = "(\w+)";')


def keys_in_code():
    found = {}
    for source in sorted((ROOT / "src").rglob("*.[ch]*")):
        if "tests" in source.parts:
            continue
        text = source.read_text(errors="replace")
        constants = dict(CONSTANT.findall(text))
        for match in CALL.finditer(text):
            section = match["section"] or constants.get(match["constant"], match["constant"])
            key = SLOTS if match["slot"] else match["key"]
            found.setdefault((section.lower(), key.lower()), (section, key, source))
        for match in HELPER.finditer(text):
            found.setdefault(("options", match["key"].lower()), ("Options", match["key"], source))
    return found


def keys_on_page():
    """The first cell of each table row under a `[Section]` heading."""
    found, section = {}, None
    for line in PAGE.read_text().splitlines():
        heading = re.match(r"#+ .*`\[(\w+)\]`", line)
        if heading:
            section = heading[1]
            continue
        row = re.match(r"\|\s*`([^`|]+)`(?:\s+to\s+`([^`|]+)`)?\s*\|", line)
        if section and row:
            key = f"{row[1]} to {row[2]}" if row[2] else row[1]
            found[(section.lower(), key.lower())] = (section, key)
    return found


def main():
    code, page = keys_in_code(), keys_on_page()
    problems = [f"[{section}] {key} (read in {source.relative_to(ROOT)}) is not on {PAGE.name}"
                for name, (section, key, source) in sorted(code.items()) if name not in page]
    problems += [f"[{section}] {key} is on {PAGE.name}, but the code never reads or writes it"
                 for name, (section, key) in sorted(page.items()) if name not in code]
    for problem in problems:
        print(f"settings page: {problem}", file=sys.stderr)
    if not problems:
        print(f"settings page: all {len(code)} keys of the code are on {PAGE.name}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
