#!/usr/bin/env python3
"""Writes the files of tests/data/photos/heic and tests/data/photos/raw that declare
pictures beyond the decoders' pixel limit. Run once at development time; the files are
stored in the repository, the tests never run this program.

    python3 scripts/testphotos/make-oversized-samples.py tests/data/photos

- heic/declares_400mp.heic: a grid of one 96 x 64 tile (the coded picture of
  session_L0.heic) whose canvas, and the size the file declares, is 20000 x 20000: a few
  hundred bytes that ask a decoder for 400 million pixels.
- heic/canvas_beyond_size.heic: the same grid declaring 96 x 64 for a 20000 x 20000
  canvas: only the canvas tells how large the picture is.
- raw/preview_declares_160mp.dng: turned.dng whose JPEG preview's frame header says
  16000 x 10000 (its coded data is that of the 400 x 300 preview).
"""
import struct
import sys


def box(kind, payload):
    return struct.pack('>I4s', 8 + len(payload), kind.encode()) + payload


def full_box(kind, version, flags, payload):
    return box(kind, struct.pack('>I', (version << 24) | flags) + payload)


def find_box(data, kind):
    """The whole box of that type (first match; the sample files are small and plain)."""
    at = data.find(kind.encode()) - 4
    if at < 0:
        raise SystemExit('no %s box' % kind)
    return data[at:at + struct.unpack('>I', data[at:at + 4])[0]]


def grid_file(tile_file, canvas, declared):
    """A HEIF whose primary picture is a 1 x 1 grid of the tile file's coded picture."""
    src = open(tile_file, 'rb').read()
    hvcc = find_box(src, 'hvcC')
    tile_w, tile_h = struct.unpack('>II', find_box(src, 'ispe')[12:20])
    iloc = find_box(src, 'iloc')  # version 0, 4-byte offsets and lengths, base offset
    base = struct.unpack('>I', iloc[20:24])[0]
    length = struct.unpack('>I', iloc[30:34])[0]
    tile = src[base:base + length]

    width, height = canvas
    grid = struct.pack('>BBBBHH', 0, 0, 0, 0, width, height)  # version, flags, rows-1, columns-1
    ftyp = box('ftyp', b'heic' + struct.pack('>I', 0) + b'mif1heic')
    hdlr = full_box('hdlr', 0, 0, b'\0' * 4 + b'pict' + b'\0' * 12 + b'\0')
    pitm = full_box('pitm', 0, 0, struct.pack('>H', 1))
    iinf = full_box('iinf', 0, 0, struct.pack('>H', 2)
                    + full_box('infe', 2, 0, struct.pack('>HH', 1, 0) + b'grid\0')
                    + full_box('infe', 2, 1, struct.pack('>HH', 2, 0) + b'hvc1\0'))
    ipco = box('ipco', hvcc
               + full_box('ispe', 0, 0, struct.pack('>II', tile_w, tile_h))
               + full_box('ispe', 0, 0, struct.pack('>II', *declared)))
    # item 1 (grid): property 3 (its ispe); item 2 (tile): 1 (hvcC, essential) and 2.
    ipma = full_box('ipma', 0, 0, struct.pack('>I', 2)
                    + struct.pack('>HB', 1, 1) + bytes([3])
                    + struct.pack('>HB', 2, 2) + bytes([0x81, 2]))
    iprp = box('iprp', ipco + ipma)
    iref = full_box('iref', 0, 0, box('dimg', struct.pack('>HHH', 1, 1, 2)))

    def head(mdat_at):
        data_at = mdat_at + 8
        iloc_new = full_box('iloc', 0, 0, bytes([0x44, 0x40]) + struct.pack('>H', 2)
                            + struct.pack('>HHIHII', 1, 0, data_at, 1, 0, len(grid))
                            + struct.pack('>HHIHII', 2, 0, data_at + len(grid), 1, 0, len(tile)))
        return ftyp + full_box('meta', 0, 0, hdlr + pitm + iloc_new + iinf + iprp + iref)

    start = head(0)
    return head(len(start)) + box('mdat', grid + tile)


def dng_with_preview_size(dng_file, width, height):
    data = bytearray(open(dng_file, 'rb').read())
    jpeg = data.find(b'\xff\xd8\xff')
    sof = data.find(b'\xff\xc0', jpeg)
    if jpeg < 0 or sof < 0:
        raise SystemExit('no JPEG preview frame header')
    struct.pack_into('>HH', data, sof + 5, height, width)
    return bytes(data)


def main():
    if len(sys.argv) != 2:
        raise SystemExit('usage: make-oversized-samples.py PHOTOS_FOLDER')
    photos = sys.argv[1]
    tile = photos + '/heic/session_L0.heic'
    outputs = {
        'heic/declares_400mp.heic': grid_file(tile, (20000, 20000), (20000, 20000)),
        'heic/canvas_beyond_size.heic': grid_file(tile, (20000, 20000), (96, 64)),
        'raw/preview_declares_160mp.dng': dng_with_preview_size(photos + '/raw/turned.dng', 16000, 10000),
    }
    for name, data in outputs.items():
        with open(photos + '/' + name, 'wb') as out:
            out.write(data)


main()
