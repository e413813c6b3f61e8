#!/usr/bin/env python3
"""script_examples_test.py MKSETUP SCRATCH: the examples of docs/mksetup-script.md do what it
says. Each ```ini block is saved as setup.txt (with a plain [locale] appended when it has none:
the reference shows only the sections it is about) and runs the `$ ` commands of the ```console
block right after it, each of which must succeed and print exactly the lines under it; without
such a block, `mksetup check --script setup.txt` must print OK. A ```text block beginning with
`payload\\` lists the files of the tree `payload`. mksetup runs from a copy with a fake stub
beside it, so the commands run as written."""
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys

REFERENCE = pathlib.Path(__file__).resolve().parents[2] / "docs" / "mksetup-script.md"
STUB_SIZE = 310272
LOCALE = "[locale]\nExample\nPrompt\nC:\\Example\nStart\nBusy\nCopying\n"

mksetup, scratch = sys.argv[1], pathlib.Path(sys.argv[2])
shutil.rmtree(scratch, ignore_errors=True)
(scratch / "bin").mkdir(parents=True)
shutil.copy(mksetup, scratch / "bin" / "mksetup")
stub = (b"MZ" + bytes(58) + b"\x40\0\0\0PE\0\0").ljust(STUB_SIZE, b"\0")
for name in ("setup-stub.exe", "setup-stub-user.exe"):
    (scratch / "bin" / name).write_bytes(stub)
env = dict(os.environ, PATH=f"{scratch / 'bin'}{os.pathsep}{os.environ['PATH']}")

blocks = re.findall(r"^```(\w+)\n(.*?)^```$", REFERENCE.read_text(encoding="utf-8"), re.M | re.S)
for kind, text in blocks:
    if kind == "text" and text.startswith("payload\\\n"):
        for line in text.splitlines()[1:]:
            path = scratch / "payload" / line.strip().replace("\\", "/")
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(f"{line.strip()}\n")

failures = examples = 0
for index, (kind, text) in enumerate(blocks):
    if kind != "ini":
        continue
    examples += 1
    script = text if "[locale]" in text.splitlines() else text + LOCALE
    (scratch / "setup.txt").write_text(script, encoding="utf-8")
    shown = "$ mksetup check --script setup.txt\nOK\n"
    if index + 1 < len(blocks) and blocks[index + 1][0] == "console":
        shown = blocks[index + 1][1]
    for command in re.split(r"^\$ ", shown, flags=re.M)[1:]:
        line, _, expected = command.partition("\n")
        run = subprocess.run(shlex.split(line), cwd=scratch, env=env, capture_output=True, text=True)
        if run.returncode != 0 or run.stdout != expected:
            failures += 1
            print(f"FAIL: example {examples} ({text.splitlines()[0]}...): {line}: exit code "
                  f"{run.returncode}\n--- shown:\n{expected}--- printed:\n{run.stdout}{run.stderr}")
print(f"{examples} examples, {failures} failed")
sys.exit(1 if failures or examples == 0 else 0)
