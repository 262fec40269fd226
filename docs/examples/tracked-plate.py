#!/usr/bin/env python3
"""Makes a synthetic planar track and the plate it tracks, for the tool's
documentation: eight frames of a picture that moves, turns and grows, and
the keyframe text a planar tracker would export for it: bare paths, units
spelt with capitals, and the tracked surface's position written as its
Anchor Point on every row too, as older trackers write it.

    quorvel-host render --size 960x540 --composite add --opacity 0 --out card.npy
    python3 docs/examples/tracked-plate.py card.npy plate    # plate.0001.npy ... and plate-track.txt

Plain Python, no libraries: the frames are .npy files of 8-bit ARGB, as the
tool writes and reads them."""
import ast
import math
import sys

FRAMES = 8
ANCHOR = (480.0, 270.0)


def transform(i):
    """Position, scale (percent) and rotation (degrees) at data frame i."""
    t = i / (FRAMES - 1)
    return (480.0 + 120.0 * t, 270.0 + 60.0 * t), 100.0 + 40.0 * t, 40.0 * t


def read_npy(path):
    data = open(path, "rb").read()
    header_length = int.from_bytes(data[8:10], "little")
    header = ast.literal_eval(data[10:10 + header_length].decode("latin-1"))
    height, width, _ = header["shape"]
    return width, height, data[10 + header_length:]


def write_npy(path, width, height, pixels):
    header = "{'descr': '|u1', 'fortran_order': False, 'shape': (%d, %d, 4), }" % (height, width)
    header += " " * (63 - (10 + len(header)) % 64) + "\n"
    with open(path, "wb") as f:
        f.write(b"\x93NUMPY\x01\x00" + len(header).to_bytes(2, "little") + header.encode("latin-1") + pixels)


def main():
    card, prefix = sys.argv[1], sys.argv[2]
    width, height, source = read_npy(card)
    backdrop = bytes((255, 40, 40, 48))
    for i in range(FRAMES):
        (px, py), scale, rotation = transform(i)
        c, s, k = math.cos(math.radians(rotation)), math.sin(math.radians(rotation)), 100.0 / scale
        out = bytearray(width * height * 4)
        for y in range(height):
            for x in range(width):
                # The card's pixel under (x, y): the layer transform undone.
                qx, qy = x + 0.5 - px, y + 0.5 - py
                u = int(math.floor(ANCHOR[0] + (c * qx + s * qy) * k))
                v = int(math.floor(ANCHOR[1] + (c * qy - s * qx) * k))
                o = (y * width + x) * 4
                if 0 <= u < width and 0 <= v < height:
                    p = (v * width + u) * 4
                    out[o:o + 4] = source[p:p + 4]
                else:
                    out[o:o + 4] = backdrop
        write_npy("%s.%04d.npy" % (prefix, i + 1), width, height, bytes(out))

    rows = {"Anchor Point": [], "Position": [], "Scale": [], "Rotation": []}
    for i in range(FRAMES):
        (px, py), scale, rotation = transform(i)
        rows["Anchor Point"].append("\t%d\t%g\t%g\t0" % (i, px, py))
        rows["Position"].append("\t%d\t%g\t%g\t0" % (i, px, py))
        rows["Scale"].append("\t%d\t%g\t%g\t100" % (i, scale, scale))
        rows["Rotation"].append("\t%d\t%g" % (i, rotation))
    columns = {"Anchor Point": "X pixels\tY pixels\tZ pixels", "Position": "X pixels\tY pixels\tZ pixels",
               "Scale": "X percent\tY percent\tZ percent", "Rotation": "Degrees"}
    lines = ["Adobe After Effects 6.0 Keyframe Data", "", "\tUnits Per Second\t24",
             "\tSource Width\t%d" % width, "\tSource Height\t%d" % height,
             "\tSource Pixel Aspect Ratio\t1", "\tComp Pixel Aspect Ratio\t1", ""]
    for name, block in rows.items():
        lines += [name, "\tFrame\t%s" % columns[name]] + block + [""]
    lines.append("End of Keyframe Data")
    with open(prefix + "-track.txt", "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
