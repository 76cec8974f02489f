#!/usr/bin/env python3
"""Every command of the README and the user's guide, run as written, in order, each document in a
scratch folder of its own with the programs on the PATH: a block of commands that fails fails the
test.  A block of commands is an indented block whose first word is a command; usage lines
(with [OPTIONS]-style brackets) and sample files or outputs are not commands.  The build and
benchmark commands are what CI itself runs (the build) or take hours (the benchmarks), and are
left out by name.  Usage: docs_test.py BUILD-DIR SOURCE-DIR"""
import os
import shutil
import subprocess
import sys
import tempfile

BUILD, SOURCE = (os.path.abspath(p) for p in sys.argv[1:3])
COMMANDS = {"telma", "telma-mesh", "mpirun", "korval", "gs", "xvfb-run", "printf", "mkdir", "cat", "for", "read",
            "/usr/bin/python3", "sed", "cmake", "ctest", "(cd", "build/bench/telma-bench"}
NOT_RUN = ("cmake", "ctest", "(cd build", "build/bench/telma-bench")  # the build and the benchmarks


def blocks(path):
    """The command blocks of a Markdown file: (line number, text)."""
    out, current, start = [], [], 0
    lines = open(path).read().split("\n")
    for i, line in enumerate(lines + [""]):
        if line.startswith("    ") and (current or not lines[i - 1].strip()):
            if not current:
                start = i + 1
            current.append(line[4:])
        elif current and not line.strip() and i + 1 < len(lines) and lines[i + 1].startswith("    ") \
                and current[-1].rstrip().endswith("\\"):
            continue
        else:
            if current:
                out.append((start, "\n".join(current)))
            current = []
    result = []
    for start, text in out:
        first = text.split()[0] if text.split() else ""
        if first not in COMMANDS or "[--" in text.split("\n")[0] or "[OPTIONS]" in text:
            continue
        result.append((start, text))
    return result


failures, ran = [], 0
for doc in ("README.md", "examples/README.md"):
    work = tempfile.mkdtemp(prefix="docs_")
    try:
        for f in os.listdir(os.path.join(SOURCE, "examples")):
            shutil.copy(os.path.join(SOURCE, "examples", f), work)
        # the README's viewer commands name the default files and case.in
        shutil.copy(os.path.join(SOURCE, "examples", "cube.in"), os.path.join(work, "TELMA.IN"))
        shutil.copy(os.path.join(SOURCE, "examples", "cube.in"), os.path.join(work, "case.in"))
        env = dict(os.environ, PATH=":".join([os.path.join(BUILD, d) for d in ("solver", "viewer", "tools")]
                                             + [os.environ.get("PATH", "")]), ASAN_OPTIONS="detect_leaks=0",
                   # mpirun as CI runs it: as root, on fewer cores than processes
                   OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1",
                   OMPI_MCA_rmaps_base_oversubscribe="1")
        subprocess.run(["telma", "case.in", "case.out"], cwd=work, env=env, capture_output=True)
        for start, text in blocks(os.path.join(SOURCE, doc)):
            if text.lstrip().startswith(NOT_RUN):
                continue
            ran += 1
            r = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", text], cwd=work, env=env,
                               stdin=subprocess.DEVNULL, capture_output=True, text=True, errors="replace")
            if r.returncode != 0:
                failures.append("%s:%d: status %d\n%s\n%s" % (doc, start, r.returncode, text, r.stderr[-2000:]))
    finally:
        shutil.rmtree(work, ignore_errors=True)

for f in failures:
    print("FAILED", f, file=sys.stderr)
print("%d blocks of commands run, %d failed" % (ran, len(failures)))
sys.exit(1 if failures else 0)
