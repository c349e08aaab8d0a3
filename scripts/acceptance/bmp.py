"""Reading the slideshow's screenshots and writing the test pictures.

Standard library only: BMP files in and out, PNG out.
"""

import struct
import zlib


class Picture:
    """An RGB picture, rows top first, each row width * 3 bytes."""

    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows

    def pixel(self, x, y):
        row = self.rows[y]
        return (row[3 * x], row[3 * x + 1], row[3 * x + 2])


def read_bmp(path):
    """Uncompressed 24-bit BMP as the screenshots are written (either row order)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError("%s: not a BMP file" % path)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if bits != 24 or compression != 0:
        raise ValueError("%s: %d bits, compression %d" % (path, bits, compression))
    top_down = height < 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    if offset + stride * height > len(data):
        raise ValueError("%s: %d bytes, short of its %dx%d pixels" % (path, len(data), width, height))
    rows = []
    for stored in range(height):
        start = offset + stored * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3] = bgr[2::3]
        rgb[1::3] = bgr[1::3]
        rgb[2::3] = bgr[0::3]
        rows.append(bytes(rgb))
    if not top_down:
        rows.reverse()
    return Picture(width, height, rows)


def bmp_header(width, height, bits, image_bytes, palette_entries=0, compression=0, info_size=40):
    offset = 14 + info_size + 4 * palette_entries
    header = b"BM" + struct.pack("<IHHI", offset + image_bytes, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression, image_bytes,
                       2834, 2834, palette_entries, 0)
    return header + info + b"\0" * (info_size - 40)


def bmp24_bytes(picture):
    """Plain bottom-up 24-bit BMP of a Picture."""
    stride = (picture.width * 3 + 3) & ~3
    pad = b"\0" * (stride - picture.width * 3)
    body = bytearray()
    for row in reversed(picture.rows):
        bgr = bytearray(len(row))
        bgr[0::3] = row[2::3]
        bgr[1::3] = row[1::3]
        bgr[2::3] = row[0::3]
        body += bgr + pad
    return bmp_header(picture.width, picture.height, 24, len(body)) + bytes(body)


def solid(width, height, colour):
    row = bytes(colour) * width
    return Picture(width, height, [row] * height)


def blocks(width, height, colours):
    """A grid of equal blocks, colours[row][column], row 0 at the top."""
    grid_rows = len(colours)
    grid_cols = len(colours[0])
    rows = []
    for y in range(height):
        line = bytearray()
        for x in range(width):
            line += bytes(colours[y * grid_rows // height][x * grid_cols // width])
        rows.append(bytes(line))
    return Picture(width, height, rows)


def write_png(path, picture):
    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + row for row in picture.rows)
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", picture.width, picture.height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 6))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)

