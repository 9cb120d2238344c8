#!/usr/bin/env python3
"""Writes examples/bowl.obj: a thick-walled bowl (cm) as one closed
triangle mesh, about 10k triangles, for the example scenes.

The wall's profile is revolved about z: the outer face runs from a flat
bottom of radius 3 up to the rim (radius 6, height 5), the inner face 0.5 cm
inside it, and a flat ring closes the rim. Every face runs counter-clockwise
seen from outside the wall, so the mesh encloses the wall's volume.

Usage: tools/make_bowl.py [output] [segments] [rings]
"""
import math
import sys

BOTTOM, RIM, HEIGHT, WALL = 3.0, 6.0, 5.0, 0.5


def profile(rings, inset):
    """(r, z) from the bottom edge to the rim, inset cm inside the outer face."""
    points = []
    for i in range(rings + 1):
        t = 0.5 * math.pi * i / rings
        r = BOTTOM + (RIM - inset - BOTTOM) * math.sin(t)
        z = inset + (HEIGHT - inset) * (1.0 - math.cos(t))
        points.append((r, z))
    return points


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "examples/bowl.obj"
    segments = int(sys.argv[2]) if len(sys.argv) > 2 else 96
    rings = int(sys.argv[3]) if len(sys.argv) > 3 else 25
    vertices, faces = [], []

    def ring_of(points):
        first = len(vertices) + 1  # OBJ numbers vertices from 1
        for r, z in points:
            for j in range(segments):
                a = 2.0 * math.pi * j / segments
                vertices.append((r * math.cos(a), r * math.sin(a), z))
        return lambda i, j: first + i * segments + j % segments

    outer = ring_of(profile(rings, 0.0))
    inner = ring_of(profile(rings, WALL))
    vertices.append((0.0, 0.0, 0.0))
    outer_centre = len(vertices)
    vertices.append((0.0, 0.0, WALL))
    inner_centre = len(vertices)
    for j in range(segments):
        faces.append((outer_centre, outer(0, j + 1), outer(0, j)))
        faces.append((inner_centre, inner(0, j), inner(0, j + 1)))
        for i in range(rings):
            a, b, c, d = outer(i, j), outer(i, j + 1), outer(i + 1, j), outer(i + 1, j + 1)
            faces += [(a, b, c), (b, d, c)]
            a, b, c, d = inner(i, j), inner(i, j + 1), inner(i + 1, j), inner(i + 1, j + 1)
            faces += [(a, c, b), (b, c, d)]
        o0, o1, i0, i1 = outer(rings, j), outer(rings, j + 1), inner(rings, j), inner(rings, j + 1)
        faces += [(o0, o1, i0), (o1, i1, i0)]
    with open(out, "w") as f:
        f.write("# A thick-walled bowl (cm), %d triangles; made by tools/make_bowl.py\n" % len(faces))
        for v in vertices:
            f.write("v %.6f %.6f %.6f\n" % v)
        for t in faces:
            f.write("f %d %d %d\n" % t)


if __name__ == "__main__":
    main()
