#!/usr/bin/env python3
"""Prints face_mesh_tables.cpp: the face mesh of the beauty passes, made from the 95-point
landmark template (facedetect/include/zq_landmark_template.h).

- kFaceMeshTriangles: a Delaunay triangulation of the template (Bowyer-Watson; cocircular
  ties are broken by the insertion order), 2n - 2 - h = 164 triangles, counter-clockwise in
  image coordinates with y down.
- kDetailMaskCoords: where each point lies on the 640 x 640 face-detail mask, which is drawn
  in the template's own frame: the template position / 128.
- kFeatureMaskCoords: where each point lies on a caller's facial-feature image: the template
  stretched so that its bounding box fills the image.

Usage: make_face_mesh.py > facebeauty/face_mesh_tables.cpp
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TEMPLATE = os.path.join(HERE, '..', '..', 'facedetect', 'include', 'zq_landmark_template.h')


def read_template():
    text = open(TEMPLATE).read()
    body = text[text.index('kTemplate[kPointCount]'):]
    body = body[:body.index('};')]
    pts = [(float(a), float(b)) for a, b in re.findall(r'\{([-\d.]+)f, ([-\d.]+)f\}', body)]
    assert len(pts) == 95, len(pts)
    return pts


def circumcircle(a, b, c):
    d = 2 * (a[0] * (b[1] - c[1]) + b[0] * (c[1] - a[1]) + c[0] * (a[1] - b[1]))
    ux = ((a[0] ** 2 + a[1] ** 2) * (b[1] - c[1]) + (b[0] ** 2 + b[1] ** 2) * (c[1] - a[1]) +
          (c[0] ** 2 + c[1] ** 2) * (a[1] - b[1])) / d
    uy = ((a[0] ** 2 + a[1] ** 2) * (c[0] - b[0]) + (b[0] ** 2 + b[1] ** 2) * (a[0] - c[0]) +
          (c[0] ** 2 + c[1] ** 2) * (b[0] - a[0])) / d
    return ux, uy, (a[0] - ux) ** 2 + (a[1] - uy) ** 2


def delaunay(pts):
    big = 1e5
    allp = list(pts) + [(-big, -big), (big, -big), (0.0, big)]
    n = len(pts)
    tris = [(n, n + 1, n + 2)]
    for i, p in enumerate(pts):
        bad = []
        for t in tris:
            ux, uy, r2 = circumcircle(allp[t[0]], allp[t[1]], allp[t[2]])
            if (p[0] - ux) ** 2 + (p[1] - uy) ** 2 < r2 - 1e-9:
                bad.append(t)
        edges = {}
        for t in bad:
            for e in ((t[0], t[1]), (t[1], t[2]), (t[2], t[0])):
                key = tuple(sorted(e))
                edges[key] = edges.get(key, 0) + 1
        tris = [t for t in tris if t not in bad]
        for (a, b), count in edges.items():
            if count == 1:
                tris.append((a, b, i))
    out = []
    for t in tris:
        if max(t) >= n:
            continue
        a, b, c = (pts[k] for k in t)
        cross = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])
        out.append(t if cross > 0 else (t[0], t[2], t[1]))
    return sorted(out)


def main():
    pts = read_template()
    tris = delaunay(pts)
    assert len(tris) == 164, len(tris)
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    w = sys.stdout.write
    w('// Printed by facebeauty/tools/make_face_mesh.py from the landmark template; change the\n')
    w('// script, not the numbers.\n')
    w('#include "face_mesh_tables.h"\n\nnamespace QUENMAR_FACEBEAUTY {\n\n')
    w('const std::uint16_t kFaceMeshTriangles[kFaceMeshIndexCount] = {\n')
    for i in range(0, len(tris), 4):
        w('    ' + ' '.join('%d, %d, %d,' % t for t in tris[i:i + 4]) + '\n')
    w('};\n\n')
    for name, f in (('kDetailMaskCoords', lambda p: (p[0] / 128.0, p[1] / 128.0)),
                    ('kFeatureMaskCoords',
                     lambda p: ((p[0] - x0) / (x1 - x0), (p[1] - y0) / (y1 - y0)))):
        w('const float %s[kFacePointCount * 2] = {\n' % name)
        for i in range(0, len(pts), 4):
            w('    ' + ' '.join('%.6ff, %.6ff,' % f(p) for p in pts[i:i + 4]) + '\n')
        w('};\n\n')
    w('}  // namespace QUENMAR_FACEBEAUTY\n')


if __name__ == '__main__':
    main()
