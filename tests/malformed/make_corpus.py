#!/usr/bin/python3
"""Writes the malformed-icon corpus into a folder, one file per case of each
bug class the readers of this format have shipped, and `expected.txt`: one
line per file, `name<TAB>outcome<TAB>images`, where outcome is `rejected` (no
image can be read) or `opened`, and images lists, separated by `;`, the
description of every image that must be read, in order; the bad entries of a
file are the ones missing from it. A `*` after a count (`256*16x16, 32 bpp`)
stands for that many images alike."""
import hashlib
import struct
import sys
import zlib
from pathlib import Path


def header(count, type_=1, reserved=0):
    return struct.pack("<HHH", reserved, type_, count)


def entry(size, offset, width=0, height=0, colours=0, planes=1, bits=32):
    return struct.pack("<BBBBHHII", width, height, colours, 0, planes, bits, size, offset)


def bmp_block(w, h, bits=32, planes=1, clr_used=0, compression=0, height_field=None,
              colour=None, mask=None, palette=None):
    """A bitmap-form block: header, palette, colour rows, mask rows."""
    hf = 2 * h if height_field is None else height_field
    head = struct.pack("<IiiHHIIiiII", 40, w, hf, planes, bits, compression, 0, 0, 0,
                       clr_used, 0)
    total_bits = planes * bits
    if palette is None:
        n = clr_used if clr_used else (1 << total_bits if total_bits <= 8 else 0)
        palette = b"".join(struct.pack("<BBBB", (i * 37) & 255, (i * 91) & 255,
                                       (i * 13) & 255, 0) for i in range(min(n, 256)))
    row = ((w * total_bits + 31) // 32) * 4
    mrow = ((w + 31) // 32) * 4
    if colour is None:
        colour = bytes((i * 7) & 255 for i in range(row * h))
    if mask is None:
        mask = bytes(mrow * h)
    return head + palette + colour + mask


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(w, h, colour_type=6, depth=8, rows=None, idat=None, extra=b""):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    if idat is None:
        if rows is None:
            line = bytes((x * 5) & 255 for x in range((w * channels * depth + 7) // 8))
            rows = b"".join(b"\0" + line for _ in range(h))
        idat = zlib.compress(rows, 9)
    ihdr = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 0)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra
    if colour_type == 3:
        out += chunk(b"PLTE", bytes(range(3 * 4)))
    return out + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def icon(blocks, type_=1, count=None, entries=None):
    """An icon whose blocks follow the directory in order."""
    n = len(blocks)
    offset = 6 + 16 * n
    dir_ = b""
    for b in blocks:
        dir_ += entry(len(b), offset)
        offset += len(b)
    if entries is not None:
        dir_ = entries
    return header(n if count is None else count, type_) + dir_ + b"".join(blocks)


def noise(n, seed):
    """n bytes that do not compress, the same on every run."""
    out = bytearray()
    block = seed.to_bytes(4, "little")
    while len(out) < n:
        block = hashlib.sha256(block).digest()
        out += block
    return bytes(out[:n])


def noisy_png(side, noisy_rows):
    """An RGBA PNG whose first rows are noise: costly to pack again."""
    line = side * 4
    rows = b"".join(b"\0" + (noise(line, y) if y < noisy_rows else bytes(line)) for y in range(side))
    return png(side, side, rows=rows)


def many(count, block, per_entry_size=None):
    """count entries that all point at one block behind the directory."""
    at = 6 + 16 * count
    size = len(block) if per_entry_size is None else per_entry_size
    return header(count) + entry(size, at) * count + block


# The readers' limits, as src/base/limits.h sets them.
CONTAINER_DECODED_MAX = 8 << 20
DIR_ENTRIES_MAX = 512


def decoded_cost(w, h, size):
    """What an entry is charged: its image as a 32-bit bitmap with its mask,
    or its block length when that is more."""
    return max(size, 40 + 1024 + w * h * 4 + ((w + 31) // 32) * 4 * h)


def alike(w, h, size, description):
    """The images read from entries that all point at one block."""
    n = min(DIR_ENTRIES_MAX, CONTAINER_DECODED_MAX // decoded_cost(w, h, size))
    return f"{n}*{description}"


GOOD16 = bmp_block(16, 16)
D16 = "16x16, 32 bpp"
D32_8 = "32x32, 256 colors"
GOOD32_8 = bmp_block(32, 32, bits=8)


def cases():
    # name, bytes, outcome, images
    yield "header_short", b"\0\0\1\0", "rejected", []
    yield "header_reserved", header(1, reserved=1) + entry(len(GOOD16), 22) + GOOD16, "rejected", []
    yield "header_type_3", header(1, type_=3) + entry(len(GOOD16), 22) + GOOD16, "rejected", []
    yield "header_no_entries", header(0) + GOOD16, "rejected", []
    yield "header_count_past_end", icon([GOOD16], count=65535), "opened", [D16]
    yield "header_directory_cut", (header(2) + entry(len(GOOD16), 38) + b"\1\2"), "rejected", []

    # Directory: offsets and sizes that lie.
    ok = lambda n: 6 + 16 * n
    yield "dir_offset_inside_header", header(1) + entry(len(GOOD16), 4) + GOOD16, "rejected", []
    yield "dir_offset_negative", header(1) + entry(len(GOOD16), 0x80000000) + GOOD16, "rejected", []
    yield "dir_offset_past_end", header(1) + entry(len(GOOD16), 1 << 20) + GOOD16, "rejected", []
    two = lambda first: header(2) + first + entry(len(GOOD16), ok(2)) + GOOD16
    yield "dir_size_40", two(entry(40, ok(2))), "opened", [D16]
    yield "dir_size_zero", two(entry(0, ok(2))), "opened", [D16]
    yield "dir_size_4g", two(entry(0xFFFFFFFF, ok(2))), "opened", [D16]
    yield "dir_stop_after_bad_offset", (header(2) + entry(len(GOOD16), ok(2)) + entry(len(GOOD16), 3)
                                        + GOOD16), "opened", [D16]
    yield "dir_block_runs_past_end", (header(1) + entry(len(GOOD16), ok(1) + 1000) + bytes(1000)
                                      + GOOD16[:200]), "opened", [D16]

    # Bitmap blocks: sides, heights, bit counts, compression.
    def bad_then_good(bad):
        return icon([bad, GOOD16])
    yield "bmp_height_negative", bad_then_good(bmp_block(16, 16, height_field=-32)), "opened", [D16]
    yield "bmp_height_int_min", bad_then_good(bmp_block(16, 16, height_field=-0x80000000)), "opened", [D16]
    yield "bmp_width_negative", bad_then_good(bmp_block(-16, 16, colour=b"", mask=b"")), "opened", [D16]
    yield "bmp_height_zero", bad_then_good(bmp_block(8, 0, height_field=0, colour=bytes(256), mask=bytes(32))), \
        "opened", ["8x0, 32 bpp", D16]
    yield "bmp_side_6000", bad_then_good(bmp_block(6000, 6000, colour=b"", mask=b"")), "opened", [D16]
    yield "bmp_side_over_limit", bad_then_good(bmp_block(5999, 5999, colour=b"", mask=b"")), "opened", [D16]
    yield "bmp_pixels_over_limit", bad_then_good(bmp_block(1024, 1200, colour=b"", mask=b"")), "opened", [D16]
    yield "bmp_bits_33", bad_then_good(bmp_block(16, 16, bits=33, colour=b"", mask=b"")), "opened", [D16]
    yield "bmp_planes_65535", bad_then_good(bmp_block(16, 16, planes=65535, bits=1, colour=b"", mask=b"")), \
        "opened", [D16]
    yield "bmp_colour_missing", icon([bmp_block(32, 32, colour=bytes(8), mask=b"")]), "opened", ["32x32, 32 bpp"]
    yield "bmp_rle_compression", icon([bmp_block(16, 16, bits=8, compression=1)]), "opened", ["16x16, 256 colors"]
    yield "bmp_bitfields_24", icon([bmp_block(16, 16, bits=24, compression=3)]), "opened", ["16x16, True Color"]
    yield "bmp_bits_2", icon([bmp_block(16, 16, bits=2)]), "opened", ["16x16, "]
    yield "bmp_16bit", icon([bmp_block(16, 16, bits=16)]), "opened", ["16x16, 65k colors"]
    yield "bmp_real_512", icon([bmp_block(512, 512, colour=bytes(512 * 512 * 4))]), "opened", \
        ["512x512, 32 bpp"]

    # Masks: missing, short, longer than the block.
    yield "mask_missing", icon([bmp_block(32, 32, bits=8, mask=b"")]), "opened", [D32_8]
    yield "mask_half", icon([bmp_block(32, 32, bits=8, mask=bytes(64))]), "opened", [D32_8]
    yield "mask_all_transparent", icon([bmp_block(32, 32, bits=8, mask=b"\xff" * 128)]), "opened", [D32_8]

    # Palettes: counts the block cannot hold, indexes past the palette.
    yield "palette_clrused_huge", icon([bmp_block(32, 32, bits=8, clr_used=0xFFFFFFFF, palette=b"")]), \
        "opened", [D32_8]
    yield "palette_clrused_300", icon([bmp_block(32, 32, bits=8, clr_used=300)]), "opened", [D32_8]
    yield "palette_index_past_end", icon([bmp_block(16, 16, bits=8, clr_used=2,
                                                    colour=bytes([200]) * 256)]), "opened", ["16x16, 256 colors"]
    yield "palette_1bit_clrused_1", icon([bmp_block(16, 16, bits=1, clr_used=1)]), "opened", ["16x16, 2 colors"]

    # PNG entries: damaged, bombs, sizes.
    p256 = png(256, 256)
    P256 = "256x256, 32 bpp, packed"
    yield "png_real_256", icon([p256]), "opened", [P256]
    yield "png_real_1024", icon([png(1024, 1024)]), "opened", ["1024x1024, 32 bpp, packed"]
    bad_crc = bytearray(p256)
    bad_crc[29] ^= 0xFF  # IHDR's CRC
    yield "png_bad_crc", icon([bytes(bad_crc), GOOD16]), "opened", [D16]
    yield "png_truncated", icon([p256[: len(p256) // 2], GOOD16]), "opened", [D16]
    yield "png_signature_only", icon([p256[:8] + bytes(40), GOOD16]), "opened", [D16]
    yield "png_side_100000", icon([png(100000, 1, idat=zlib.compress(b"\0" * 10)), GOOD16]), "opened", [D16]
    yield "png_side_over_limit", icon([png(4096, 16, idat=zlib.compress(bytes(16 * (4096 * 4 + 1)), 9)),
                                       GOOD16]), "opened", [D16]
    yield "png_bomb_5000", icon([png(5000, 5000, idat=zlib.compress(bytes(5000 * 4 + 1) * 5000, 9)),
                                 GOOD16]), "opened", [D16]
    yield "png_idat_missing_rows", icon([png(64, 64, idat=zlib.compress(b"\0" * 100)), GOOD16]), "opened", [D16]
    yield "png_extra_idat_data", icon([png(16, 16, idat=zlib.compress(bytes(17 * 65 * 4)))]), "opened", \
        ["16x16, 32 bpp, packed"]
    big_text = chunk(b"tEXt", b"k\0" + bytes(200000)) * 4
    yield "png_text_chunks", icon([png(16, 16, extra=big_text)]), "opened", ["16x16, 32 bpp, packed"]
    yield "png_chunk_length_huge", icon([p256[:33] + struct.pack(">I", 0x7FFFFFFF) + p256[37:], GOOD16]), \
        "opened", [D16]
    yield "png_palette_index_past", icon([png(16, 16, colour_type=3, rows=(b"\0" + b"\xfe" * 16) * 16)]), \
        "opened", ["16x16, 256 colors, packed"]

    # Cursors: read as icons, hot spots in Planes and Bit count.
    cur = icon([GOOD16], type_=2)
    cur = cur[:10] + struct.pack("<HH", 7, 9) + cur[14:]
    yield "cursor_hot_spot", cur, "opened", [D16]
    yield "cursor_bad_entry", icon([bmp_block(16, 16, height_field=-1), GOOD16], type_=2), "opened", [D16]

    # Many entries: the directory multiplies one block.
    # Read until the container's budget runs out or the entries limit is
    # reached (see decoded_cost).
    yield "many_png_256", many(65535, p256), "opened", [alike(256, 256, 256, P256)]
    yield "many_bmp_480", many(65535, bmp_block(480, 480)), "opened", [alike(480, 480, 950440, "480x480, 32 bpp")]
    # The costliest per byte: every PNG image is packed again at a save.
    yield "many_png_256_noisy", many(65535, noisy_png(256, 256)), "opened", \
        [alike(256, 256, 256, P256)]
    yield "many_png_1024_noisy", many(65535, noisy_png(1024, 220)), "opened", \
        [alike(1024, 1024, 1024, "1024x1024, 32 bpp, packed")]
    # Refused bitmap blocks claiming the largest side cost nothing: the good
    # image behind five hundred of them is still read.
    refused = bmp_block(1024, 1024, bits=33, colour=bytes(8), mask=b"")
    yield "many_refused_then_good", (header(501) + entry(len(refused), ok(501)) * 500
                                     + entry(len(GOOD16), ok(501) + len(refused)) + refused + GOOD16), \
        "opened", [D16]
    yield "many_tiny_bitmaps", many(65535, bmp_block(1, 1)), "opened", [alike(1, 1, 48, "1x1, 32 bpp")]
    yield "many_valid_entries", icon([bmp_block(1, 1)] * 20000), "opened", [alike(1, 1, 48, "1x1, 32 bpp")]

    # Overlapping blocks: entries sharing bytes, a block over the directory.
    both = header(2) + entry(len(GOOD16), ok(2)) + entry(len(GOOD16) - 8, ok(2) + 8) + GOOD16
    yield "overlap_shifted_blocks", both, "opened", [D16]
    # The second entry's 16 bytes are also the start of the first block's
    # header; read as an entry, its offset lies past the end and stops the
    # directory.
    over_dir = header(2) + entry(len(GOOD16), ok(1)) + GOOD16
    yield "overlap_block_over_directory", over_dir, "opened", [D16]


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    lines = []
    for name, data, outcome, images in cases():
        (out / f"{name}.ico").write_bytes(data)
        shown = ";".join(images)
        lines.append(f"{name}\t{outcome}\t{shown}")
    (out / "expected.txt").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
