#!/usr/bin/env python3
"""README.md's section "The setup script" is docs/mksetup-script.md, word for word; the build
makes the same text the manual page mksetup-script(5).

    docs/sync-readme.py           writes the section from docs/mksetup-script.md
    docs/sync-readme.py --check   exits 1, showing the difference, when they differ

The section runs from its heading to the next level-2 heading, so the source holds none."""
import difflib
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
README = ROOT / "README.md"
SOURCE = ROOT / "docs" / "mksetup-script.md"
HEADING = "## The setup script\n"


def main():
    readme = README.read_text(encoding="utf-8")
    source = SOURCE.read_text(encoding="utf-8")
    if any(line.startswith("## ") for line in source.splitlines()):
        sys.exit(f"{SOURCE}: a level-2 heading would end README's section early")
    start = readme.find(HEADING)
    if start < 0 or readme[start - 1] != "\n":
        sys.exit(f"{README} has no line '{HEADING.strip()}'")
    start += len(HEADING)
    end = readme.find("\n## ", start)
    end = len(readme) if end < 0 else end + 1
    wanted = "\n" + source + "\n"
    if readme[start:end] == wanted:
        return
    if "--check" not in sys.argv[1:]:
        README.write_text(readme[:start] + wanted + readme[end:], encoding="utf-8")
        return
    sys.stdout.writelines(difflib.unified_diff(
        readme[start:end].splitlines(keepends=True), wanted.splitlines(keepends=True),
        "README.md (The setup script)", str(SOURCE.relative_to(ROOT))))
    sys.exit("README's section differs from docs/mksetup-script.md: run docs/sync-readme.py")


if __name__ == "__main__":
    main()
