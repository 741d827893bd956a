#!/usr/bin/env python3
"""Prints the 95-point landmark template table of include/zq_landmark_template.h.

The template is a frontal face in a 128 x 128 aligned crop, in crop pixels:
- the 14 head-pose points are the orthographic projection of the pose estimator's face model,
  x = 64.5 - 6.04 * X and y = 80.4 - 6.04 * Y (model +x to the image's left, +y up);
- the four alignment key points (midpoints of 42/48, 54/60, 75/87, 81/91) fall exactly on the
  alignment reference points;
- every other point is placed by the simple curves below; the convex hull holds the 19 contour
  points and brow points 19, 20, 21, 32 and 33 (24 in all), each at least 0.7 pixels off the
  line of its neighbours, and no other point lies within 0.7 pixels of the hull, so a Delaunay
  triangulation has 2 * 95 - 2 - 24 = 164 triangles, also one made with bounding helper points
  as OpenCV's Subdiv2D does. The right brow and the right side of the contour start a little
  higher (the right eye's reference point is higher too), which puts an odd number of brow
  points on the hull.

Usage: tools/make_landmark_template.py > table.txt (then paste it into
include/zq_landmark_template.h).
"""
import math

CX, CY, SCALE = 64.5, 80.4, 6.04
BROW_ARCH, BROW_LIFT = 6.0, 0.8
# Height of the brows' upper edge over the line between their ends, at a fifth, two fifths ...
# of the way from the outer end, times the arch.
BROW_PROFILE = (0.8, 1.0, 0.7, 0.3)
CONTOUR_TOP, CONTOUR_HALF_WIDTH, CONTOUR_TILT = 44.0, 48.0, 3.0

# Pose estimator model points by landmark index (X, Y; Z is not projected).
MODEL = {
    19: (6.825897, 6.760612), 24: (1.330353, 7.122144), 29: (-1.330353, 7.122144),
    34: (-6.825897, 6.760612), 39: (5.311432, 5.485328), 45: (1.789930, 5.393625),
    51: (-1.789930, 5.393625), 57: (-5.311432, 5.485328), 67: (2.005628, 1.409845),
    70: (-2.005628, 1.409845), 75: (2.774015, -2.080775), 81: (-2.774015, -2.080775),
    84: (0.000000, -3.116408), 9: (0.000000, -7.415691),
}

# Alignment reference points of a 128 crop, in key-point order.
REFERENCE = [(42.8282, 48.1901), (84.3215, 47.3977), (48.8092, 92.8325), (80.9304, 92.554)]


def model_point(index):
    x, y = MODEL[index]
    return (CX - SCALE * x, CY - SCALE * y)


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


def build():
    p = [None] * 95

    # Contour 0-18: half an ellipse from the image-left temple down to the chin (9) and up again.
    chin = model_point(9)
    top, half_width = CONTOUR_TOP, CONTOUR_HALF_WIDTH
    for k in range(19):
        a = math.pi * k / 18
        start = top + CONTOUR_TILT * math.cos(a)  # the image-right side starts higher
        p[k] = (CX - half_width * math.cos(a), start + (chin[1] - start) * math.sin(a))

    # Brows 19-28 (image left) and 29-38, each a ring: an end, the upper edge, the other end,
    # the lower edge back; the ends are model points, the left brow runs from its outer end
    # (19) and the right one from its inner end (29). The right brow sits a little higher, as
    # the right eye does.
    def brow(first, last, outer_first, arch, lift):
        a = model_point(first)
        b = model_point(first + 5)
        p[first], p[first + 5] = a, b
        a = (a[0], a[1] - lift)
        b = (b[0], b[1] - lift)
        for k in range(4):
            t = (k + 1) / 5
            u = t if outer_first else 1 - t  # 0 at the outer end
            x, y = lerp(a, b, t)
            p[first + 1 + k] = (x, y - arch * BROW_PROFILE[round(u * 5) - 1])
            t = (4 - k) / 5
            x, y = lerp(a, b, t)
            p[first + 6 + k] = (x, y - 0.35 * arch * math.sin(math.pi * t) + 2.6)
        assert last == first + 9

    brow(19, 28, True, BROW_ARCH, 0.0)
    brow(29, 38, False, BROW_ARCH, BROW_LIFT)

    # Eyes 39-50 and 51-62: corner, upper lid, other corner, lower lid; the corners are model
    # points, and the lid middles (42/48, 54/60) are moved so that their midpoint is the
    # reference point.
    def eye(first, reference):
        a, b = model_point(first), model_point(first + 6)
        p[first], p[first + 6] = a, b
        mid = lerp(a, b, 0.5)
        upper, lower = 4.0, 3.2
        shift = (reference[0] - mid[0], reference[1] - mid[1] - (lower - upper) / 2)
        for k in range(5):
            t = (k + 1) / 6
            w = math.sin(math.pi * t)
            x, y = lerp(a, b, t)
            p[first + 1 + k] = (x + shift[0] * w, y - upper * w + shift[1] * w)
            x, y = lerp(a, b, 1 - t)
            w = math.sin(math.pi * (1 - t))
            p[first + 7 + k] = (x + shift[0] * w, y + lower * w + shift[1] * w)

    eye(39, REFERENCE[0])
    eye(51, REFERENCE[1])

    # Nose 63-74: bridge 63-65, tip 66, wings 67 and 70 (model points), nostrils 68 and 69,
    # wing tops 71 and 72, the base 73 and the point above it 74.
    s = SCALE
    p[63] = (CX, CY - 5.3 * s)
    p[64] = (CX, CY - 4.3 * s)
    p[65] = (CX, CY - 3.3 * s)
    p[66] = (CX, CY - 2.25 * s)
    p[67] = model_point(67)
    p[68] = (CX - 0.95 * s, CY - 1.1 * s)
    p[69] = (CX + 0.95 * s, CY - 1.1 * s)
    p[70] = model_point(70)
    p[71] = (CX - 1.45 * s, CY - 2.35 * s)
    p[72] = (CX + 1.45 * s, CY - 2.35 * s)
    p[73] = (CX, CY - 0.9 * s)
    p[74] = (CX, CY - 1.55 * s)

    # Mouth 75-94: outer corners 75 and 81 and the lower lip's middle 84 are model points;
    # upper outer lip 76-80 with a bow, lower outer lip 82-86, inner corners 87 and 91 placed so
    # that the key points fall on the reference points, inner upper 88-90, inner lower 92-94.
    left, right = model_point(75), model_point(81)
    p[75], p[81] = left, right
    bottom = model_point(84)
    depth = bottom[1] - (left[1] + right[1]) / 2
    for k in range(5):
        t = (k + 1) / 6
        x, y = lerp(left, right, t)
        bow = 1.0 - 0.25 * math.cos(2 * math.pi * t) ** 2 if 0.3 < t < 0.7 else 1.0
        p[76 + k] = (x, y - 6.0 * math.sin(math.pi * t) * bow)
    for k in range(5):
        t = (5 - k) / 6
        x, y = lerp(left, right, t)
        p[82 + k] = (x, y + depth * math.sin(math.pi * t))
    p[84] = bottom
    p[87] = (2 * REFERENCE[2][0] - left[0], 2 * REFERENCE[2][1] - left[1])
    p[91] = (2 * REFERENCE[3][0] - right[0], 2 * REFERENCE[3][1] - right[1])
    for k in range(3):
        t = (k + 1) / 4
        x, y = lerp(p[87], p[91], t)
        p[88 + k] = (x, y - 1.4 * math.sin(math.pi * t))
        x, y = lerp(p[87], p[91], 1 - t)
        p[92 + k] = (x, y + 1.6 * math.sin(math.pi * (1 - t)))
    return p


def hull(points):
    pts = sorted(set(points))

    def cross(o, a, b):
        return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])

    lower, upper = [], []
    for q in pts:
        while len(lower) >= 2 and cross(lower[-2], lower[-1], q) <= 0:
            lower.pop()
        lower.append(q)
    for q in reversed(pts):
        while len(upper) >= 2 and cross(upper[-2], upper[-1], q) <= 0:
            upper.pop()
        upper.append(q)
    return lower[:-1] + upper[:-1]


def distance_to_line(a, b, q):
    return abs((b[0] - a[0]) * (q[1] - a[1]) - (b[1] - a[1]) * (q[0] - a[0])) / math.hypot(
        b[0] - a[0], b[1] - a[1])


def main():
    p = build()
    assert all(q is not None for q in p) and len(set(p)) == 95
    h = hull(p)
    on_hull = sorted(p.index(q) for q in h)
    assert len(h) == 24, on_hull
    n = len(h)
    assert all(distance_to_line(h[i - 1], h[(i + 1) % n], h[i]) >= 0.7 for i in range(n))
    assert all(distance_to_line(h[i], h[(i + 1) % n], q) >= 0.7
               for q in p if q not in h for i in range(n))
    for i in range(0, 95, 4):
        row = ", ".join("{%.4ff, %.4ff}" % (x, y) for x, y in p[i:i + 4])
        print("    %s,  // %d" % (row, i))
    print("// hull:", on_hull)


if __name__ == "__main__":
    main()
