#!/usr/bin/env python3
"""telma --vtu (and --unfold) read back with VTK's own reader, every cell and point against the
report's tables.  Usage: vtu_test.py TELMA TELMA-MESH EXAMPLES-DIR"""
import math
import os
import shutil
import subprocess
import sys
import tempfile

import vtk

TELMA, MESH, EXAMPLES = sys.argv[1:4]
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def read(path):
    r = vtk.vtkXMLUnstructuredGridReader()
    r.SetFileName(path)
    r.Update()
    return r.GetOutput()


def report_tables(path):
    """Rows of the boundary-node table (x y z U Q area) and the internal points (x y z U gx gy gz)."""
    tables, rows = [], None
    for line in open(path):
        if line.startswith(" NODE") or "GRADV-X" in line:
            rows = []
            tables.append(rows)
        elif rows is not None and line.strip():
            try:
                vals = [float(v) for v in line.split()]
                rows.append(vals[1:] if len(tables) == 1 else vals)
            except ValueError:
                rows = None
    return tables + [[]] * (2 - len(tables))


def close(a, b):
    return abs(a - b) <= 1e-5 * max(1.0, abs(b))


def images(isym, unfold):
    """(reflection, sign) of each copy, in the order telma writes them."""
    out = []
    for mask in range(1 << 3 if unfold else 1):
        planes = [k for k in range(3) if mask >> k & 1]
        if all(isym[k] in (1, -1) for k in planes):
            out.append(([-1 if k in planes else 1 for k in range(3)], math.prod(isym[k] for k in planes)))
    return out


def normal(grid, c):
    p = [grid.GetPoint(grid.GetCell(c).GetPointId(m)) for m in range(3)]
    a, b = [[q[k] - o[k] for k in range(3)] for o, q in ((p[0], p[1]), (p[1], p[2]))]
    n = [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]
    return [x / math.sqrt(sum(y * y for y in n)) for x in n]


def run_case(name, data, isym, unfold, media=None):
    """media: the media file's text, {code: (eps behind, eps in front)}."""
    vtu, rep, tag = os.path.join(work, name + ".vtu"), os.path.join(work, name + ".out"), f"{name} {unfold}"
    args = [TELMA, "--vtu=" + vtu] + ["--unfold"] * unfold + [data, rep]
    if media:
        with open(os.path.join(work, "media.txt"), "w") as f:
            f.write(media[0])
        args.insert(1, "--media=" + os.path.join(work, "media.txt"))
    check(subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL).returncode == 0, tag + ": exit")
    nodes, ips = report_tables(rep)
    ims, nbe, g = images(isym, unfold), len(nodes), read(vtu)
    check(nbe > 0 and g.GetNumberOfCells() == nbe * len(ims), f"{tag}: {g.GetNumberOfCells()} cells")
    a = {n: [g.GetCellData().GetArray(n).GetValue(c) for c in range(g.GetNumberOfCells())]
         for n in ("potential", "normal_derivative", "area", "code", "flux_group", "element")}
    if media:
        for n in ("eps", "eps_front", "interface"):
            a[n] = [g.GetCellData().GetArray(n).GetValue(c) for c in range(g.GetNumberOfCells())]
    for c in range(g.GetNumberOfCells()):
        (r, sign), i, cell = ims[c // nbe], c % nbe, g.GetCell(c)
        x, y, z, u, q, area = nodes[i]
        npc = cell.GetNumberOfPoints()
        check((cell.GetCellType(), npc) in ((5, 3), (9, 4)), f"{tag}: cell {c} type")
        centre = [sum(g.GetPoint(cell.GetPointId(m))[k] for m in range(npc)) / npc for k in range(3)]
        check(all(close(centre[k], r[k] * (x, y, z)[k]) for k in range(3)), f"{tag}: cell {c} centre")
        check(close(a["potential"][c], sign * u) and close(a["normal_derivative"][c], sign * q)
              and close(a["area"][c], area), f"{tag}: cell {c} values")
        check(a["element"][c] == i + 1 and a["flux_group"][c] == max(0, -a["code"][c]), f"{tag}: cell {c} numbers")
        if media:
            eb, en = media[1][a["code"][c]]
            check(a["eps"][c] == eb and a["eps_front"][c] == en and a["interface"][c] == (en > 0),
                  f"{tag}: cell {c} media")
        n0, n1 = normal(g, i), normal(g, c)  # an image's normal is the mirror image of the original's
        check(all(abs(n1[k] - r[k] * n0[k]) < 1e-9 for k in range(3)), f"{tag}: cell {c} normal")
    pts = os.path.join(work, name + "_points.vtu")
    check(os.path.exists(pts) == bool(ips), f"{tag}: point file")
    if ips:
        p = read(pts)
        check(p.GetNumberOfCells() == len(ips) * len(ims), f"{tag}: {p.GetNumberOfCells()} point cells")
        pu, pg = p.GetPointData().GetArray("potential"), p.GetPointData().GetArray("gradient")
        for c in range(p.GetNumberOfCells()):
            (r, sign), row = ims[c // len(ips)], ips[c % len(ips)]
            xyz = p.GetPoint(p.GetCell(c).GetPointId(0))
            check(p.GetCell(c).GetCellType() == 1 and all(close(xyz[k], r[k] * row[k]) for k in range(3)),
                  f"{tag}: point {c} position")
            check(close(pu.GetValue(c), sign * row[3]), f"{tag}: point {c} potential")
            check(all(close(pg.GetTuple3(c)[k], sign * r[k] * row[4 + k]) for k in range(3)),
                  f"{tag}: point {c} gradient")


work = tempfile.mkdtemp(prefix="telma_vtu_")
quarter = os.path.join(work, "quarter.in")
subprocess.run([MESH, "sphere", "--level", "2", "--sym", "x=even", "--sym", "y=odd",
                "--point", "0.5,1.5,2", "-o", quarter], check=True, stdout=subprocess.DEVNULL)
for name, data, isym in (("sphere", os.path.join(EXAMPLES, "sphere.in"), (0, 0, 0)), ("quarter", quarter, (1, -1, 0))):
    for unfold in (False, True) if any(isym) else (True,):  # nothing to unfold: as it is
        run_case(name, data, isym, unfold)
# media: code 0 a conductor in 2, code 1 interfaces between 3 in front and 2 behind
run_case("media", os.path.join(EXAMPLES, "cube.in"), (0, 0, 0), True, ("0 2\n1 3 2\n", {0: (2, 0), 1: (2, 3)}))

shutil.rmtree(work)
print("".join(f"FAIL: {f}\n" for f in failures[:20]) + f"{len(failures)} failure(s)")
sys.exit(1 if failures else 0)
