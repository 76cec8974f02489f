#!/usr/bin/env python3
"""Renders a VTU file of telma (telma --vtu=FILE) to a PNG picture, headless.

Usage: /usr/bin/python3 render_vtu.py [--field NAME] FILE.vtu PICTURE.png [WIDTH HEIGHT]

The elements are coloured by the cell field NAME (default potential; also
normal_derivative, area, code, flux_group, element, and with --media eps,
eps_front, interface) on a blue-to-red scale with a colour bar; the internal
points of FILE_points.vtu, when that file exists, are drawn as small balls,
coloured on the same scale when NAME is potential.  Needs VTK for Python
(Debian: python3-vtk9, for the system's /usr/bin/python3); without a
display, run it under xvfb-run (Debian: xvfb).
"""
import os
import sys

import vtk


def reader(path):
    r = vtk.vtkXMLUnstructuredGridReader()
    r.SetFileName(path)
    r.Update()
    return r


def main():
    args = sys.argv[1:]
    field = "potential"
    if args[:1] == ["--field"] and len(args) > 1:
        field, args = args[1], args[2:]
    elif args and args[0].startswith("--field="):
        field, args = args[0][len("--field="):], args[1:]
    if len(args) < 2:
        sys.exit(__doc__)
    vtu, png = args[0], args[1]
    size = [int(v) for v in args[2:4]] or [800, 600]
    grid = reader(vtu)
    data = grid.GetOutput().GetCellData().GetArray(field)
    if data is None:
        cells = grid.GetOutput().GetCellData()
        names = [cells.GetArrayName(k) for k in range(cells.GetNumberOfArrays())]
        sys.exit("render_vtu.py: %s has no cell field %s (it has %s)" % (vtu, field, ", ".join(names)))
    lo, hi = data.GetRange()

    lut = vtk.vtkLookupTable()
    lut.SetHueRange(0.667, 0.0)  # blue (low) to red (high)
    lut.SetTableRange(lo, hi)
    lut.Build()

    ren = vtk.vtkRenderer()
    ren.SetBackground(1, 1, 1)
    surf = vtk.vtkDataSetMapper()
    surf.SetInputConnection(grid.GetOutputPort())
    surf.SetScalarModeToUseCellFieldData()
    surf.SelectColorArray(field)
    surf.SetLookupTable(lut)
    surf.UseLookupTableScalarRangeOn()
    body = vtk.vtkActor()
    body.SetMapper(surf)
    body.GetProperty().EdgeVisibilityOn()
    body.GetProperty().SetEdgeColor(0.2, 0.2, 0.2)
    ren.AddActor(body)

    pts = vtu[:-4] + "_points.vtu" if vtu.endswith(".vtu") else vtu + "_points.vtu"
    if os.path.exists(pts) and field == "potential":
        ball = vtk.vtkSphereSource()
        ball.SetRadius(0.02 * grid.GetOutput().GetLength())
        pr = reader(pts)  # kept alive while the pipeline runs
        glyph = vtk.vtkGlyph3D()
        glyph.SetInputConnection(pr.GetOutputPort())
        glyph.SetSourceConnection(ball.GetOutputPort())
        glyph.SetScaleModeToDataScalingOff()
        glyph.SetColorModeToColorByScalar()
        gm = vtk.vtkPolyDataMapper()
        gm.SetInputConnection(glyph.GetOutputPort())
        gm.SetLookupTable(lut)
        gm.UseLookupTableScalarRangeOn()
        points = vtk.vtkActor()
        points.SetMapper(gm)
        ren.AddActor(points)

    bar = vtk.vtkScalarBarActor()
    bar.SetLookupTable(lut)
    bar.SetTitle(field)
    bar.SetNumberOfLabels(5)
    bar.SetWidth(0.1)
    for text in (bar.GetTitleTextProperty(), bar.GetLabelTextProperty()):
        text.SetColor(0, 0, 0)
    ren.AddActor2D(bar)

    # z up, seen from the front right (+x, -y) and a little above.
    cam = ren.GetActiveCamera()
    cam.SetFocalPoint(0, 0, 0)
    cam.SetPosition(1.0, -1.6, 0.7)
    cam.SetViewUp(0, 0, 1)
    ren.ResetCamera()
    cam.Zoom(1.2)

    win = vtk.vtkRenderWindow()
    win.SetOffScreenRendering(1)
    win.AddRenderer(ren)
    win.SetSize(*size)
    win.Render()
    shot = vtk.vtkWindowToImageFilter()
    shot.SetInput(win)
    shot.Update()
    out = vtk.vtkPNGWriter()
    out.SetCompressionLevel(9)
    out.SetFileName(png)
    out.SetInputConnection(shot.GetOutputPort())
    out.Write()


if __name__ == "__main__":
    main()
