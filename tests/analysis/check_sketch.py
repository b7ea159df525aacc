#!/usr/bin/env python3
"""Whole runs of resection-analise with a sketch.

check_sketch.py xml|render BINARY EXAMPLE WORKDIR

xml:    the sketches of the example, of a file with awkward names (markup
        characters, UTF-8, a byte of a single-byte code page, a control byte)
        and of files with numbers at the limits (a point 1e100 m away, an a
        priori precision of 1e-60", a station near the danger circle of three
        points) are well-formed XML whose texts carry the names.
render: rsvg-convert draws the example's sketch to a PNG that is not blank
        (exit 77, a skip, when rsvg-convert is missing).
"""
import os
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zlib

SVG = "{http://www.w3.org/2000/svg}"

AWKWARD = (b"gd 0.001 1\nE&<1>\n6\n"
           b"'A<B>&C' 1030 2040 10.5\n"
           b"\"O'Neil\" 1045 1990 120.25\n"
           b"S\xe9 1000 1955 190.75\n"
           b"'X\x1bY' 965 2010 290.5\n"
           b"Esta\xc3\xa7\xc3\xa3o 1020 2080 14.03\n"
           b"FAROL 15000 16000 45.1\n")

# Exact readings from a station at (1000, 2000).
SIX = (b"EST\n6\n"
       b"A 1030 2040 36.869897645844020\nB 1045 1990 102.528807709151508\n"
       b"C 1000 1955 180.000000000000000\nD 965 2010 285.945395900922847\n"
       b"E 1020 2080 14.036243467926479\nF 950 1950 225.000000000000000\n")
LIMITS = {
    "far.txt": (AWKWARD.replace(b"15000 16000", b"1e100 1e100"), ["FAROL", "e+97 km"]),
    "tiny.txt": (b"gd 0.0001 1e-60\n" + SIX, ["Elipse de erro", "vezes: a = "]),
    "circle.txt": (b"gd 0.0001 1\nEST\n3\nA 100 0 22.5004913794\n"
                   b"B 0 100 337.5001849972\nC -100 0 292.5000580888\n", ["a = 675 m, b = 1.15 mm"]),
}


def sketch(binary, source, svg):
    run = subprocess.run([binary, source, svg], capture_output=True)
    if run.returncode != 0:
        sys.exit(f"{source}: status {run.returncode}\n{run.stdout.decode('latin-1')}")
    return svg


def check_xml(binary, example, work):
    awkward = os.path.join(work, "awkward.txt")
    with open(awkward, "wb") as f:
        f.write(AWKWARD)
    cases = [(example, ["P1", "P4", "EST1"]),
             (awkward, ["A<B>&C", "O'Neil", "S\u00e9", "X\\x1bY", "E&<1>", "Esta\u00e7\u00e3o"])]
    for name, (text, texts) in LIMITS.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(text)
        cases.append((os.path.join(work, name), texts))
    for source, names in cases:
        root = ET.parse(sketch(binary, source, os.path.join(work, "s.svg"))).getroot()
        if root.tag != SVG + "svg":
            sys.exit(f"{source}: root element {root.tag}")
        texts = " ".join("".join(t.itertext()) for t in root.iter(SVG + "text"))
        for name in names:
            if name not in texts:
                sys.exit(f"{source}: no text holds {name!r}: {texts}")


def pixels(png):
    """Rows of pixels of an 8-bit RGB or RGBA PNG, as bytes."""
    with open(png, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), "only 8-bit RGB(A)"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = 3 if colour == 2 else 4
    raw, stride, rows, prior = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            b, c = prior[i], prior[i - bpp] if i >= bpp else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(row))
        prior = row
    return rows, bpp


def check_render(binary, example, work):
    renderer = shutil.which("rsvg-convert")
    if renderer is None:
        print("rsvg-convert not found (Debian: apt-get install librsvg2-bin): skipped")
        sys.exit(77)
    png = os.path.join(work, "esboco.png")
    subprocess.run([renderer, "-o", png, sketch(binary, example, os.path.join(work, "e.svg"))],
                   check=True)
    rows, bpp = pixels(png)
    background = rows[0][:bpp]
    drawn = sum(1 for row in rows for x in range(0, len(row), bpp) if row[x:x + bpp] != background)
    total = len(rows) * len(rows[0]) // bpp
    # Lines, symbols and text cover a few per cent of a sketch.
    if drawn < total // 100:
        sys.exit(f"{png}: only {drawn} of {total} pixels drawn")


if __name__ == "__main__":
    mode, binary, example, work = sys.argv[1:5]
    os.makedirs(work, exist_ok=True)
    {"xml": check_xml, "render": check_render}[mode](binary, example, work)
