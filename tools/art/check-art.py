#!/usr/bin/env python3
"""Checks the headers of the installer's banner and icon.

    python3 tools/art/check-art.py [RES_DIR]     (default: src/res)

banner.bmp must be a bottom-up 421x100 24-bit BI_RGB bitmap with a plain BITMAPINFOHEADER
(a V4/V5 header with colour-space fields trips old resource compilers and LoadImage);
setup.ico must hold exactly one 32x32 image with a 256-colour palette and an AND mask,
stored as a DIB rather than PNG. Exits 1 and lists every fault otherwise.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.normpath(os.path.join(HERE, "..", "..", "src", "res"))

BITMAPINFOHEADER_SIZE = 40
BI_RGB = 0


def row_bytes(width, bpp):
    return (width * bpp + 31) // 32 * 4


def check_banner(path, faults):
    def fault(text):
        faults.append("%s: %s" % (path, text))

    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 14 + BITMAPINFOHEADER_SIZE or data[:2] != b"BM":
        fault("not a BMP file")
        return
    file_size, _, _, off_bits = struct.unpack_from("<IHHI", data, 2)
    (size, width, height, planes, bpp, compression, size_image, _, _, clr_used, _) = (
        struct.unpack_from("<IiiHHIIiiII", data, 14)
    )
    if size != BITMAPINFOHEADER_SIZE:
        fault("info header is %d bytes, expected a plain BITMAPINFOHEADER (40)" % size)
    if (width, height) != (421, 100):
        fault("size %dx%d, expected 421x100 bottom-up" % (width, height))
    if planes != 1:
        fault("%d planes, expected 1" % planes)
    if bpp != 24:
        fault("%d bits per pixel, expected 24" % bpp)
    if compression != BI_RGB:
        fault("compression %d, expected BI_RGB (0)" % compression)
    if clr_used != 0:
        fault("%d palette entries, a 24-bit bitmap has none" % clr_used)
    pixels = row_bytes(abs(width), bpp) * abs(height)
    if off_bits != 14 + size:
        fault("pixel data at %d, expected right after the header (%d)" % (off_bits, 14 + size))
    if size_image not in (0, pixels):
        fault("biSizeImage %d, expected %d" % (size_image, pixels))
    if file_size != len(data):
        fault("bfSize %d but the file has %d bytes" % (file_size, len(data)))
    if len(data) != off_bits + pixels:
        fault("%d bytes, expected %d" % (len(data), off_bits + pixels))


def check_icon(path, faults):
    def fault(text):
        faults.append("%s: %s" % (path, text))

    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 6:
        fault("too short for an icon directory")
        return
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        fault("not an icon file (reserved %d, type %d)" % (reserved, kind))
        return
    if count != 1:
        fault("%d images, expected exactly 1" % count)
        return
    if len(data) < 6 + 16:
        fault("truncated directory entry")
        return
    w, h, colours, _, planes, bpp, bytes_in_res, offset = struct.unpack_from("<BBBBHHII", data, 6)
    if (w, h) != (32, 32):
        fault("directory says %dx%d, expected 32x32" % (w or 256, h or 256))
    if colours != 0:  # 0 stands for 256 (and for "more than 256")
        fault("directory colour count %d, expected 0 (256 colours)" % colours)
    if planes not in (0, 1) or bpp not in (0, 8):
        fault("directory says %d planes, %d bits per pixel" % (planes, bpp))
    if offset + bytes_in_res != len(data) or offset < 6 + 16:
        fault("image at %d, %d bytes, but the file has %d" % (offset, bytes_in_res, len(data)))
        return
    image = data[offset : offset + bytes_in_res]
    if image[:8] == b"\x89PNG\r\n\x1a\n":
        fault("image is PNG-compressed, expected a DIB")
        return
    if len(image) < BITMAPINFOHEADER_SIZE:
        fault("truncated image header")
        return
    (size, width, height, planes, bpp, compression, _, _, _, clr_used, _) = struct.unpack_from(
        "<IiiHHIIiiII", image, 0
    )
    if size != BITMAPINFOHEADER_SIZE:
        fault("image header is %d bytes, expected 40" % size)
    if (width, height) != (32, 64):
        fault("image is %dx%d, expected 32x64 (colour bits and AND mask)" % (width, height))
    if planes != 1 or bpp != 8:
        fault("image has %d planes, %d bits per pixel; expected 1 and 8" % (planes, bpp))
    if compression != BI_RGB:
        fault("image compression %d, expected BI_RGB (0)" % compression)
    if clr_used > 256:
        fault("%d palette entries, at most 256" % clr_used)
    entries = clr_used or 256
    xor = row_bytes(32, 8) * 32
    mask = row_bytes(32, 1) * 32
    expected = size + 4 * entries + xor + mask
    if len(image) != expected:
        fault("image has %d bytes, expected %d (header, %d colours, pixels, mask)"
              % (len(image), expected, entries))
        return
    # Transparent pixels must be black: Windows draws the colour bits with XOR over
    # the background where the mask is set.
    palette = image[size : size + 4 * entries]
    pixels = image[size + 4 * entries : size + 4 * entries + xor]
    and_bits = image[size + 4 * entries + xor :]
    transparent = opaque = 0
    for y in range(32):
        for x in range(32):
            bit = and_bits[y * 4 + x // 8] >> (7 - x % 8) & 1
            if bit:
                transparent += 1
                i = pixels[y * 32 + x]
                if palette[4 * i : 4 * i + 3] != b"\0\0\0":
                    fault("transparent pixel (%d,%d) is not black" % (x, 31 - y))
                    return
            else:
                opaque += 1
    if opaque == 0:
        fault("the AND mask hides every pixel")


def main():
    res = sys.argv[1] if len(sys.argv) > 1 else RES
    faults = []
    for name, check in (("banner.bmp", check_banner), ("setup.ico", check_icon)):
        path = os.path.join(res, name)
        if not os.path.isfile(path):
            faults.append("%s: missing" % path)
            continue
        check(path, faults)
    for f in faults:
        print(f, file=sys.stderr)
    if faults:
        return 1
    print("banner.bmp: 421x100, 24 bpp, BI_RGB; setup.ico: one 32x32 image, 8 bpp with mask")
    return 0


if __name__ == "__main__":
    sys.exit(main())
