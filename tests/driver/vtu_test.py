#!/usr/bin/env python3
"""telma --vtu read back with VTK's own reader: counts, values, unfolded images.

Usage: vtu_test.py TELMA TELMA-MESH EXAMPLES-DIR
Each case solves a model, writes its VTU files with and without --unfold,
and checks every cell and point against the report's tables.
"""
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
    """Boundary-node rows (x y z U Q area) and internal-point rows (x y z U gx gy gz)."""
    nodes, points, part = [], [], None
    for line in open(path):
        if line.startswith(" NODE"):
            part = nodes
        elif "GRADV-X" in line:
            part = points
        elif part is not None:
            try:
                vals = [float(v) for v in line.split()]
            except ValueError:
                vals = []
            if vals:
                part.append(vals[1:] if part is nodes else vals)
            elif line.strip():
                part = None
    return nodes, points


def close(a, b):
    return abs(a - b) <= 1e-5 * max(1.0, abs(b))


def images(isym, unfold):
    """(reflection, sign) of each copy, in the order telma writes them."""
    out = []
    for mask in range(8):
        planes = [k for k in range(3) if mask >> k & 1]
        if planes and (not unfold or any(isym[k] not in (1, -1) for k in planes)):
            continue
        r = [(-1 if k in planes else 1) for k in range(3)]
        out.append((r, math.prod(isym[k] for k in planes)))
    return out


def normal(grid, c):
    p = [grid.GetPoint(grid.GetCell(c).GetPointId(m)) for m in range(3)]
    a = [p[1][k] - p[0][k] for k in range(3)]
    b = [p[2][k] - p[1][k] for k in range(3)]
    n = [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]
    s = math.sqrt(sum(x * x for x in n))
    return [x / s for x in n]


def run_case(name, data, isym, unfold):
    d = tempfile.mkdtemp(prefix="telma_vtu_", dir=work)
    vtu = os.path.join(d, name + ".vtu")
    rep = os.path.join(d, "out.txt")
    args = [TELMA, "--vtu=" + vtu] + (["--unfold"] if unfold else []) + [data, rep]
    rc = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL).returncode
    check(rc == 0, f"{name}: telma exit {rc}")
    nodes, ips = report_tables(rep)
    ims = images(isym, unfold)
    nbe = len(nodes)
    g = read(vtu)
    tag = f"{name} unfold={unfold}"
    check(nbe > 0 and g.GetNumberOfCells() == nbe * len(ims), f"{tag}: {g.GetNumberOfCells()} cells")
    cd = g.GetCellData()
    arr = {n: [cd.GetArray(n).GetValue(c) for c in range(g.GetNumberOfCells())] for n in
           ("potential", "normal_derivative", "area", "code", "flux_group", "element")}
    for c in range(g.GetNumberOfCells()):
        (r, sign), i = ims[c // nbe], c % nbe
        x, y, z, u, q, area = nodes[i]
        cell = g.GetCell(c)
        check(cell.GetCellType() in (5, 9) and cell.GetNumberOfPoints() == (3 if cell.GetCellType() == 5 else 4),
              f"{tag}: cell {c} type")
        centre = [sum(g.GetPoint(cell.GetPointId(m))[k] for m in range(cell.GetNumberOfPoints()))
                  / cell.GetNumberOfPoints() for k in range(3)]
        check(all(close(centre[k], r[k] * (x, y, z)[k]) for k in range(3)), f"{tag}: cell {c} centre {centre}")
        check(close(arr["potential"][c], sign * u), f"{tag}: cell {c} potential")
        check(close(arr["normal_derivative"][c], sign * q), f"{tag}: cell {c} derivative")
        check(close(arr["area"][c], area), f"{tag}: cell {c} area")
        check(arr["element"][c] == i + 1, f"{tag}: cell {c} element")
        check(arr["flux_group"][c] == max(0, -arr["code"][c]), f"{tag}: cell {c} group")
        if c >= nbe:  # an image: its normal is the mirror image of the original's
            n0, n1 = normal(g, i), normal(g, c)
            check(all(abs(n1[k] - r[k] * n0[k]) < 1e-9 for k in range(3)), f"{tag}: cell {c} normal")
    pts = os.path.join(d, name + "_points.vtu")
    if ips:
        p = read(pts)
        check(p.GetNumberOfCells() == len(ips) * len(ims), f"{tag}: {p.GetNumberOfCells()} point cells")
        pu = p.GetPointData().GetArray("potential")
        pg = p.GetPointData().GetArray("gradient")
        for c in range(p.GetNumberOfCells()):
            (r, sign), i = ims[c // len(ips)], c % len(ips)
            row = ips[i]
            xyz = p.GetPoint(p.GetCell(c).GetPointId(0))
            check(p.GetCell(c).GetCellType() == 1, f"{tag}: point {c} type")
            check(all(close(xyz[k], r[k] * row[k]) for k in range(3)), f"{tag}: point {c} position")
            check(close(pu.GetValue(c), sign * row[3]), f"{tag}: point {c} potential")
            check(all(close(pg.GetTuple3(c)[k], sign * r[k] * row[4 + k]) for k in range(3)), f"{tag}: point {c} gradient")
    else:
        check(not os.path.exists(pts), f"{tag}: a point file without internal points")
    return arr


def variant(src, isym, dst):
    """A copy of the data file src with the symmetry flags isym."""
    lines = open(src).read().split("\n")
    rec = lines[1].split()
    lines[1] = " ".join([rec[0]] + [str(s) for s in isym] + rec[4:])
    open(dst, "w").write("\n".join(lines))
    return dst


work = tempfile.mkdtemp(prefix="telma_vtu_")
quarter = os.path.join(work, "quarter.in")
subprocess.run([MESH, "sphere", "--level", "2", "--sym", "x=even", "--sym", "y=odd",
                "--point", "0.5,1.5,2", "-o", quarter], check=True, stdout=subprocess.DEVNULL)
cube_half = os.path.join(EXAMPLES, "cube_half.in")
CASES = [  # name, data file, symmetry flags
    ("sphere", os.path.join(EXAMPLES, "sphere.in"), (0, 0, 0)),
    ("cube_half", cube_half, (1, 0, 0)),
    ("cube_half_odd", variant(cube_half, (-1, 0, 0), os.path.join(work, "odd.in")), (-1, 0, 0)),
    ("quarter", quarter, (1, -1, 0)),
]
for name, data, isym in CASES:
    for unfold in (False, True) if any(isym) else (True,):  # nothing to unfold: as it is
        a = run_case(name, data, isym, unfold)
    if name == "sphere":  # the electrode's flux from the cells is the report's current
        flux = sum(q * s for q, s in zip(a["normal_derivative"], a["area"]))
        check(abs(flux / (4 * math.pi) - 1) < 0.02, f"sphere: capacitance {flux / (4 * math.pi)}")

shutil.rmtree(work)
for f in failures[:20]:
    print("FAIL:", f)
print(f"{len(failures)} failure(s)")
sys.exit(1 if failures else 0)
