#!/usr/bin/env python3
"""Writes the small seed corpora of fuzz/corpus/ (run once; the files are kept in git)."""
import os
import struct

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def save(harness, name, data):
    d = os.path.join(root, harness)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("latin-1"))


def item(section, ident, x, y, typ, cont=-1, name="#", z=0, color=0, extra="", nl="\r\n"):
    lines = ["SECTION WORLDITEM %d" % section, "{", "SERIAL %d" % (1000 + section), "NAME %s" % name,
             "ID %d" % ident, "X %d" % x, "Y %d" % y, "Z %d" % z, "COLOR %d" % color, "CONT %d" % cont,
             "TYPE %d" % typ]
    body = nl.join(lines) + nl + extra + "}" + nl + nl
    return body


# world_save_fuzz: byte 0 odd -> rule "auto", even -> "type 255".
ws = "world_save_fuzz"
save(ws, "type255_blocks", "\r\n" + item(1, 100, 3, 4, 255) + item(2, 101, 9, 9, 255) + item(3, 5, 20, 43, 255, z=-5, color=33)
     + item(4, 7, 1, 1, 0) + "SECTION CHARACTER 1\r\n{\r\nX 5\r\nTYPE 255\r\n}\r\nEOF\r\n")
save(ws, "auto_rule", "SECTION WORLDITEM 10\r\n{\r\nNAME #\r\nID 3821\r\nX 8\r\nY 8\r\nCONT -1\r\nTYPE 0\r\n}\r\n"
     + item(11, 5, 6143, 4095, 0) + item(12, 256, 16, 16, 255, cont=1234) + item(13, 9, 0, 0, 0, name="#2") + "EOF\r\n")
save(ws, "lower_case_lf", "\n" + "section worlditem 7\n{\nid 300\nx 12\ny 13\nz 200\ncolor 65535\ntype 255\n}\n"
     + "  TYPE 255\nsection worlditem 70000\n{\nX 1\nY 1\nTYPE 255\n}\nsection worlditem 4464\n{\nX 9\nY 1\nTYPE 255\n}\nEOF\nafter\n")
save(ws, "outside_world", "\r\n" + item(1, 1, 6200, 5, 255) + "EOF\r\n")
save(ws, "bad_color", "\r\n" + item(1, 1, 1, 1, 255).replace("COLOR 0", "COLOR x") + "EOF\r\n")
save(ws, "hex_and_big", "\r\n" + item(1, 1, 1, 1, 255).replace("ID 1\r\n", "ID $FFFF\r\n") + "SERIAL 2147483647\r\nSECTION WORLDITEM 2147483647\r\n{\r\nTYPE 255\r\n}\r\n")
save(ws, "block_full", "\r\n" + item(1, 1, 16, 40, 255) + item(2, 2, 17, 41, 255) + item(3, 3, 18, 42, 255))
save(ws, "unclosed", "\r\n" + "SECTION WORLDITEM 4464\r\n{\r\nX 1\r\nTYPE 255\r\n" + item(70000, 2, 2, 2, 255) + "}\r\n")

# text_numbers_fuzz: byte 0 picks the spaced-hex width too.
tn = "text_numbers_fuzz"
for i, t in enumerate(["123", "-2147483648", "2147483648", "$FFFFFFFF", " +$1a", "\t-0", "12x", "",
                       "0E ED", "0e ed\r\n00 05  tree\r\n# 0E ED\r\n\r\n01 00", "0D C2 9C 5A", " 0 E E D ",
                       "0E\tED", "-$80000000", "99999999999"]):
    save(tn, "t%02d" % i, t)

# tile_image_fuzz: four 16-bit lengths, four ids, then texidx, texmaps, artidx, art.
ti = "tile_image_fuzz"
def index(entries):
    return b"".join(struct.pack("<iii", o, l, 0) for o, l in entries)
texidx = index([(0, 8192), (0, 32768), (0, 8190), (-1, 8192), (100, 8192)])
texmaps = bytes((i * 7) % 256 for i in range(8192))
artidx = index([(0, 2048), (0, 2048), (-1, 2048), (0, 2047), (5000, 2048), (0, 2048), (0, 2048), (0, 2048), (0, 2048)])
art = bytes((i * 13) % 256 for i in range(2048))
head = struct.pack("<HHHH", len(texidx), len(texmaps), len(artidx), len(art)) + struct.pack("<HHHH", 0, 1, 7, 4096)
save(ti, "both", head + texidx + texmaps + artidx + art)
save(ti, "art_only", struct.pack("<HHHH", 0, 0, len(artidx), len(art)) + struct.pack("<HHHH", 0, 3, 8, 2) + artidx + art)

# diff_apply_fuzz: see the recipe in diff_apply_fuzz.cpp.
da = "diff_apply_fuzz"
def recipe(flags, header=(2, 0, 0, 0, 0, 0, 0, 0), statics=(), maps=(), cut=0, payload=b""):
    out = bytes([flags]) + struct.pack("<8i", *header)
    out += bytes([len(statics)]) + b"".join(struct.pack("<Iii", b, p, l) for b, p, l in statics)
    out += bytes([len(maps)]) + b"".join(struct.pack("<Ii", b, p) for b, p in maps)
    return out + struct.pack("<H", cut) + payload
recs = bytes(range(14))
block = bytes((i * 3) % 256 for i in range(196))
save(da, "both_parts", recipe(7, statics=[(0, 1024, 14), (1, -1, 0), (513, 1024, 7)], maps=[(1, 1038), (393215, 1038)], payload=recs + block))
save(da, "statics_only", recipe(5, statics=[(2 * 512 + 5, 1024, 14), (767 * 512 + 511, 1024, 0)], payload=recs))
save(da, "map_only", recipe(2, maps=[(0, 1024)], payload=block))
save(da, "wrong_crc", recipe(1, statics=[(0, 1024, 7)], payload=recs))
save(da, "length_20", recipe(5, statics=[(0, 1024, 20)], payload=recs + recs))
save(da, "past_the_end", recipe(7, statics=[(0, 1030, 14)], maps=[(5, 1100)], payload=recs))
save(da, "too_many_records", recipe(5, statics=[(0, 1024, 2049 * 7)], payload=recs))
save(da, "cut_short", recipe(0x17, statics=[(0, 1024, 14)], cut=100, payload=recs))
save(da, "raw_positions", recipe(0x0F, header=(2, 1024, 0, 0, 0, 0, 1024 + 3145728, 0)))
save(da, "version_3", recipe(0x27, header=(3, 0, 0, 0, 0, 0, 0, 0)))
save(da, "compact_both_parts", recipe(0x47, statics=[(0, 1024, 14), (1, -1, 0), (513, 1024, 7), (600, -1, -1)], maps=[(1, 1038), (393215, 1038)], payload=recs + block))
save(da, "compact_map_only", recipe(0x42, maps=[(0, 1024)], payload=block))
save(da, "compact_lying_sizes", recipe(0xC7, header=(2, 0, 0, 1, 0, 0xFFFF, 0, 0), statics=[(0, 1024, 14)], maps=[(3, 1038)], payload=recs + block))

# uop_container_fuzz: byte 0 places a write, then a container map2LegacyMUL.uop.
uc = "uop_container_fuzz"
def hashlittle2(key):
    M = 0xFFFFFFFF
    rot = lambda x, k: ((x << k) | (x >> (32 - k))) & M
    a = b = c = (0xDEADBEEF + len(key)) & M
    k = key
    while len(k) > 12:
        a = (a + struct.unpack_from("<I", k, 0)[0]) & M
        b = (b + struct.unpack_from("<I", k, 4)[0]) & M
        c = (c + struct.unpack_from("<I", k, 8)[0]) & M
        a = (a - c) & M; a ^= rot(c, 4);  c = (c + b) & M
        b = (b - a) & M; b ^= rot(a, 6);  a = (a + c) & M
        c = (c - b) & M; c ^= rot(b, 8);  b = (b + a) & M
        a = (a - c) & M; a ^= rot(c, 16); c = (c + b) & M
        b = (b - a) & M; b ^= rot(a, 19); a = (a + c) & M
        c = (c - b) & M; c ^= rot(b, 4);  b = (b + a) & M
        k = k[12:]
    if not k:
        return (b << 32) | c
    t = k + bytes(12 - len(k))
    a = (a + struct.unpack_from("<I", t, 0)[0]) & M
    b = (b + struct.unpack_from("<I", t, 4)[0]) & M
    c = (c + struct.unpack_from("<I", t, 8)[0]) & M
    c ^= b; c = (c - rot(b, 14)) & M
    a ^= c; a = (a - rot(c, 11)) & M
    b ^= a; b = (b - rot(a, 25)) & M
    c ^= b; c = (c - rot(b, 16)) & M
    a ^= c; a = (a - rot(c, 4)) & M
    b ^= a; b = (b - rot(a, 14)) & M
    c ^= b; c = (c - rot(b, 24)) & M
    return (b << 32) | c

def container(tables, capacity):
    """tables: lists of entries (name, data, header_length, compression, unpacked) or None for an empty slot."""
    import zlib
    out = bytearray(struct.pack("<IIIqiiiii", 0x50594D, 5, 0xFD23EC43, 0x40, capacity, 0, 0, 0, 0))
    out += bytes(0x40 - len(out))
    for t, entries in enumerate(tables):
        at = len(out)
        out += bytes(12 + 34 * capacity)
        slots = []
        for e in entries:
            if e is None:
                slots.append(bytes(34))
                continue
            name, data, hl, comp, unpacked = e
            off = len(out)
            out += bytes(hl) + data
            slots.append(struct.pack("<qiiiQIh", off, hl, len(data), unpacked, hashlittle2(name.encode()),
                                     zlib.adler32(data), comp))
        nxt = len(out) if t + 1 < len(tables) else 0
        out[at:at + 12] = struct.pack("<iq", len(entries), nxt)
        for i, s in enumerate(slots):
            out[at + 12 + 34 * i:at + 46 + 34 * i] = s
    return bytes(out)

import zlib
blocks = bytes((i * 5) % 251 for i in range(196 * 3))
m0 = "build/map2legacymul/00000000.dat"
save(uc, "one_entry", b"\x80" + container([[(m0, blocks, 0, 0, len(blocks))]], 4))
save(uc, "header_empty_slot", b"\x10" + container([[None, ("other", b"xyz", 0, 0, 3), (m0, blocks, 8, 0, len(blocks))]], 4))
save(uc, "two_tables", b"\xff" + container([[("a", b"1", 0, 0, 1), ("b", b"22", 0, 0, 2)], [(m0, blocks, 0, 0, len(blocks))]], 2))
packed = zlib.compress(blocks)
save(uc, "zlib_map", b"\x40" + container([[(m0, packed, 0, 1, len(blocks))]], 2))
save(uc, "compression_3", b"\x40" + container([[(m0, packed, 0, 3, len(blocks))]], 2))
# folder_save_fuzz: two region files split at the first NUL; byte 0 odd -> rule "auto".
fs = "folder_save_fuzz"


def rec(serial, ident, loc, typ, cont="0xffffffff", extra="", kind="ITEM", nl="\n"):
    lines = ["[%s]" % kind, "Serial=%s" % serial, "ID=%s" % ident, "Location=%s" % loc, "Colour=0x0021",
             "Cont=%s" % cont, "Type=%d" % typ]
    return nl.join(lines) + nl + extra + "o---o" + nl + nl


save(fs, "type255_and_bag", "// region 1.0\n\n" + rec("0x40000001", "0x0eed", "300,12,-5,0,0", 255)
     + rec("0x40000002", "0x0006", "301,13,0,0,0", 255, cont="0x40000001") + "---REGION---\n\n"
     + rec("0x40000003", "0x0005", "302,14,0,1,0", 255) + "\0"
     + rec("0x40000004", "3821", "7000,100,0,0,0", 255))
save(fs, "auto_rule", "1" + rec("0x40000010", "0x0005", "8,8,0,0,0", 0) + rec("0x40000011", "5", "9,9,0,0,0", 12)
     + "\0" + rec("0x40000012", "0x0005", "10,10,0,0,0", 0, kind="SPAWNITEM"))
save(fs, "crlf_and_keys", rec("1073741840", "0X0EED", " 16 , 16 , 0 , 0 , 0 ", 255, nl="\r\n",
                                extra="PoisonCharges\r\n// Type=0\r\n").replace("Type=", "TYPE = ")
     + "[ITEM]\r\nType=255\r\n")
save(fs, "bad_numbers", rec("0x4000001g", "0x0eed", "16,16,0,0,0", 255) + "\0" + rec("0x1", "0x1", "1,2", 255))
save(fs, "serials_near_end", rec("0xfffffffd", "0x0eed", "16,16,0,0,0", 0) + "\0" + rec("-1", "0x1", "1,1,0,0,0", 0))
# save_check_fuzz: a single-file save, checked whole and in pieces.
sc = "save_check_fuzz"
save(sc, "clean", "// a save\n\n" + item(1, 100, 3, 4, 0, nl="\n") + item(2, 101, 9, 9, 0, cont=1001, nl="\n")
     + "SECTION CHARACTER 0\n{\nSERIAL 5\nX 5\nY 6\n}\n\nEOF\n")
save(sc, "faults", item(1, 100, 3, 4, 0) + item(2, 101, 900, 9, 0, cont=77) + item(3, 102, 1, 1, 0).replace("SERIAL 1003", "SERIAL 1001")
     + item(4, 103, 2, 2, 0, z=0).replace("Z 0", "Z 1O") + item(5, 104, 2, 2, 0).lower()
     + "SECTION WORLDITEM 6\r\n{\r\nSERIAL 2147483648\r\nX  -12 \r\nY $1F\r\nCONT 0000000000005\r\n}\r\n")
save(sc, "numbers", "".join("SECTION WORLDITEM %d\n{\nSERIAL %d\nX %s\nY 3\nCONT -1\n}\n" % (i, 1000 + i, v)
                            for i, v in enumerate(["7", "42", "123", "4567", "54321", "654321", "1234567", "12345678",
                                                   "123456789", "1234567890", "-0", "+5", "5\r", "5\r\r"])))
