#!/usr/bin/env python3
"""telma --solver=hmat on 2 and 3 processes of mpirun (loopback) against one process: U, Q, the
internal points, the fluxes and the capacitance matrix within 1e-8 of the largest magnitude of
each, one report, exit 0; and the failures of a run of several processes, each said once, none
left hanging.  Usage: mpi_test.py TELMA TELMA-MESH EXAMPLES-DIR"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

TELMA, MESH, EXAMPLES = sys.argv[1:4]
# CI runs as root, and the machine may have fewer cores than processes.
MPIRUN = [shutil.which("mpirun") or "mpirun", "--allow-run-as-root", "--oversubscribe"]
# In a sanitized build: what the MPI runtime's components allocate in the
# collectives and leave when they are unloaded is not the program's (they
# have no names left for a suppression to match).
ENV = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
TOL = 1e-8
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def run(procs, args, timeout=300):
    cmd = ([TELMA] if procs == 1 else MPIRUN + ["-np", str(procs), TELMA]) + args
    return subprocess.run(cmd, capture_output=True, text=True, timeout=timeout, env=ENV if procs > 1 else None)


def arrays(vtu):
    """The data arrays of a VTK file by name, as lists of floats."""
    text = open(vtu).read()
    out = {}
    for name, body in re.findall(r'<DataArray[^>]*Name="(\w+)"[^>]*>(.*?)</DataArray>', text, re.S):
        out[name] = [float(v) for v in body.split()]
    return out


def results(tag):
    """Every result a run with --vtu and --json gave, by kind."""
    got = {}
    for suffix, names in (("", ("potential", "normal_derivative")), ("_points", ("potential", "gradient"))):
        path = tag + suffix + ".vtu"
        if os.path.exists(path):
            a = arrays(path)
            for n in names:
                got[suffix + n] = a[n]
    summary = json.load(open(tag + ".json"))
    got["fluxes"] = [f["flux"] for f in summary["fluxes"]]
    if summary["capacitance"]:
        got["capacitance"] = [c for row in summary["capacitance"]["matrix"] for c in row]
    return got


def agree(case, procs, args):
    outs = {}
    for p in (1, procs):
        tag = "%s_%d" % (case, p)
        r = run(p, ["--solver=hmat", "--tol=1e-12", "--vtu=%s.vtu" % tag, "--json=%s.json" % tag] + args + [tag + ".rep"])
        check(r.returncode == 0, "%s on %d: exit %d\n%s" % (case, p, r.returncode, r.stderr))
        if r.returncode != 0:
            return
        outs[p] = (results(tag), r.stdout)
    (one, con1), (many, conp) = outs[1], outs[procs]
    for kind, a in one.items():
        b = many.get(kind, [])
        check(len(a) == len(b), "%s: %s has %d values on %d processes, %d on one" % (case, kind, len(b), procs, len(a)))
        big = max([abs(v) for v in a] + [1e-300])
        worst = max([abs(x - y) for x, y in zip(a, b)] + [0.0])
        check(worst <= TOL * big, "%s: %s differs by %.3g of its largest %.3g on %d processes" % (case, kind, worst / big, big, procs))
    check(" Processes :%5d" % procs in conp, "%s: the console does not name the processes\n%s" % (case, conp))
    check(conp.count(" TELMA\n") == 1, "%s: the console was written more than once\n%s" % (case, conp))
    check(" Processes :" not in con1, "%s: one process names the processes" % case)


def main():
    work = tempfile.mkdtemp(prefix="mpi_test.")
    os.chdir(work)
    ex = lambda name: os.path.join(EXAMPLES, name)
    # A thin plate with a mixed condition, which needs the preconditioner beyond the diagonal.
    subprocess.run([MESH, "box", "--max", "4,4,0.002", "--div", "40,40,1", "--face", "zmin", "u=0",
                    "--face", "zmax", "q=1", "--face", "xmin", "u=1", "--exterior", "-o", "plate.in"],
                   check=True, capture_output=True)
    # A conductor in a dielectric coat (the charge formulation), joined as the user's guide does.
    subprocess.run([MESH, "sphere", "--level", "2", "-o", "wire.in"], check=True, capture_output=True)
    subprocess.run([MESH, "sphere", "--level", "2", "--radius", "2", "--bc", "q=0", "-o", "coat.in"], check=True,
                   capture_output=True)
    wire, coat = (open(f).read().splitlines() for f in ("wire.in", "coat.in"))
    na, nb = int(wire[1].split()[0]), int(coat[1].split()[0])
    with open("coated.in", "w") as f:
        f.write("\n".join(["coated", "%d 0 0 0 0" % (na + nb)] + wire[2:2 + na] + coat[2:2 + nb] +
                          wire[2 + na:2 + 2 * na] + coat[2 + nb:2 + 2 * nb]) + "\n")
    with open("coated.media", "w") as f:
        f.write("-1 4\n1 4 1\n")
    for case, procs, args in (("cube", 2, [ex("cube.in")]),
                              ("coated", 2, ["--media=coated.media", "--capacitance", "coated.in"]),
                              ("interior", 3, [ex("interior.in")]),
                              ("half", 3, [ex("cube_half.in")]),
                              ("electrodes", 2, [ex("electrodes.in")]),
                              ("spheres", 2, ["--capacitance", ex("spheres.in")]),
                              ("plate", 2, ["plate.in"])):
        agree(case, procs, args)
    check(" Preconditioner factorised" in run(2, ["--solver=hmat", "plate.in", "p.rep"]).stdout,
          "the plate did not need the block preconditioner")

    # Failures: said once, by the process that failed, the report saying why; none hangs.
    r = run(2, [ex("cube.in"), "gs.rep"])
    check(r.returncode != 0 and r.stderr.count("telma: the solver gs runs in one process, and 2 were started") == 1,
          "gs on two processes: exit %d\n%s" % (r.returncode, r.stderr))
    r = run(2, ["--solver=hmat", "nothing.in", "n.rep"])
    check(r.returncode != 0 and r.stderr.count("cannot open the file") == 1,
          "a missing data file on two processes: exit %d\n%s" % (r.returncode, r.stderr))
    # process 2 alone lacks its data file
    r = subprocess.run(MPIRUN + ["-np", "2", "sh", "-c", 'if [ "$OMPI_COMM_WORLD_RANK" = 1 ]; then set -- nothing.in; '
                                 'else set -- "$0"; fi; exec "%s" --solver=hmat "$1" one.rep' % TELMA, ex("cube.in")],
                       capture_output=True, text=True, timeout=120, env=ENV)
    check(r.returncode != 0 and "telma: process 2 of 2: nothing.in: cannot open the file" in r.stderr,
          "one process without its data file: exit %d\n%s" % (r.returncode, r.stderr))
    check(os.path.exists("one.rep") and "THE RUN STOPPED: process 2 of 2 failed before the solve" in open("one.rep").read(),
          "the report of a run whose second process failed does not say so")
    # process 2 killed in the compression: mpirun ends the run
    subprocess.run([MESH, "sphere", "--level", "5", "-o", "s5.in"], check=True, capture_output=True)
    try:
        r = subprocess.run(MPIRUN + ["-np", "2", "sh", "-c", 'if [ "$OMPI_COMM_WORLD_RANK" = 1 ]; then '
                                     '(sleep 2; kill -9 $$) & fi; exec "%s" --solver=hmat s5.in k.rep' % TELMA],
                           capture_output=True, text=True, timeout=120, env=ENV)
        check(r.returncode != 0, "a killed process: the run ended with exit 0")
    except subprocess.TimeoutExpired:
        check(False, "a killed process left the other waiting")
    shutil.rmtree(work)


main()
for f in failures:
    print("FAILED:", f)
sys.exit(1 if failures else 0)
