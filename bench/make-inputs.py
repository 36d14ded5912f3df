#!/usr/bin/env python3
"""Writes the benchmark inputs into a directory (normally the build tree).

Every byte comes from a fixed-seed generator of our own (xorshift64*), so the
files are the same on every machine and with every Python version:

  vt100-plain.bin         32 MiB of text in lines of at most 80 columns, CR LF
  vt100-csi.bin           16 MiB of full-screen output: cursor positioning, SGR,
                          erase to end of line, short runs of text
  vt100-unrecognised.bin  4 MiB of text mixed with what the VT100 interpreter does
                          not recognise (unknown ESC and CSI finals, C1 and high
                          bytes); no 0xFF, and nothing that asks for a reply
  tn3270-records.bin      Erase/Write records of 43 fields each (SBA, SF, IC, RA
                          orders), about 1.1 KB each, each ended by IAC EOR, data
                          0xFF doubled
  tn3270-records.count    the number of records in tn3270-records.bin
  tn3270-extended.bin     as many records of the same layout as Erase/Write
                          Alternate for a 3279-5-E (27 x 132): every field started
                          by SFE with a colour (some with highlighting), a few SA
                          runs; about 1.25 KB each

With --small every input is a 32nd of that size (64 records), from the same
generators: for runs under a profiler, which are some fifty times slower.

Files that already hold what this version of the script writes are left alone.

Usage: make-inputs.py [--small] OUTPUT_DIRECTORY
"""

import hashlib
import os
import sys

MIB = 1024 * 1024
SEED = 0x51C0_4E11_B3A7_0001
# Changing what is generated means changing this, so stale files are rewritten.
FORMAT_VERSION = "1"

TN3270_RECORDS = 2048


class Rng:
    """xorshift64*: small, fast enough in Python, and fixed by this file alone."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= x >> 12
        x ^= (x << 25) & 0xFFFFFFFFFFFFFFFF
        x ^= x >> 27
        self.state = x
        return ((x * 0x2545F4914F6CDD1D) & 0xFFFFFFFFFFFFFFFF) >> 32

    def below(self, n):
        return self.next() % n

    def pick(self, items):
        return items[self.next() % len(items)]


WORDS = (
    "the of and to in is that it was for on are as with his they at be this from have or by one had not "
    "but what all were when we there can an your which their said if do will each about how up out them "
    "then she many some so these would other into has more her two like him see time could no make than "
    "first been its who now people my made over did down only way find use may water long little very "
    "after words called just where most know get through back much before go good new write our used me "
    "man too any day same right look think also around another came come work three word must because "
    "does part even place well such here take why things help put years different away again off went "
    "old number great tell men say small every found still between name should home big give air line "
    "set own under read last never us left end along while might next sound below saw something thought "
    "both few those always looked show large often together asked house world going want school important "
    "until form food keep children feet land side without boy once animals life enough took sometimes "
    "four head above kind began almost live page got earth need far hand high year mother light parts "
    "country father let night following picture being study second eyes soon times story boys since white "
    "days ever paper hard near sentence better best across during today others however sure means knew "
    "its try told young miles sun ways thing whole hear example heard several change answer room sea "
    "against top turned learn point city play toward five using himself usually 0 1 2 3 42 100 2024 "
    "README.md src/net/telnet.cpp /usr/bin ls -la total drwxr-xr-x root 4096 Dec 7 15:04 ./ ../ "
    "error: warning: note: [OK] [FAIL] x=1 y=2 (a, b) {c} <d> \"quoted\" 'single' #tag @user $HOME ~/.profile"
).split()


def text_line(rng, width):
    """Words up to `width` columns."""
    out = []
    used = 0
    while True:
        w = rng.pick(WORDS)
        need = len(w) + (1 if out else 0)
        if used + need > width:
            break
        out.append(w)
        used += need
    return " ".join(out)


def plain_text(rng, size):
    parts = []
    total = 0
    while total < size:
        # Most lines nearly fill the 80 columns; some are short or empty.
        r = rng.below(16)
        width = 0 if r == 0 else rng.below(40) + 1 if r < 4 else 80
        line = (text_line(rng, width) + "\r\n").encode("ascii")
        parts.append(line)
        total += len(line)
    return b"".join(parts)[:size]


def csi(params, final):
    return b"\x1b[" + params.encode("ascii") + final


SGR_CHOICES = ("0", "1", "4", "7", "0;1", "1;31", "32", "33;44", "0;36", "1;37;41", "22", "27", "39;49", "30;47")


def csi_heavy(rng, size):
    """What a full-screen program sends: each update positions the cursor, sets a
    rendition, writes a short run and often erases to the end of the line."""
    parts = []
    total = 0
    while total < size:
        r = rng.below(100)
        if r < 2:
            piece = csi("", b"H") + csi("2", b"J")  # a new page
        elif r < 4:
            piece = csi("", b"m") + b"\r\n"
        else:
            row = rng.below(24) + 1
            column = rng.below(80) + 1
            piece = csi("%d;%d" % (row, column), b"H")
            if rng.below(3):
                piece += csi(rng.pick(SGR_CHOICES), b"m")
            run = text_line(rng, rng.below(12) + 1) or rng.pick(WORDS)[:12]
            piece += run.encode("ascii")
            if rng.below(2):
                piece += csi("", b"K")
            if rng.below(4) == 0:
                piece += csi("0", b"m")
        parts.append(piece)
        total += len(piece)
    return b"".join(parts)[:size]


# High bytes the interpreter has no meaning for: 0x7F, the C1 bytes other than
# IND, NEL, HTS, RI, SS2, SS3, SCI (which would answer the host), CSI and ST,
# and 0xA0..0xFE. Never 0xFF, which is Telnet's. Left out as well: the C1 bytes
# that open a string (DCS, SOS, OSC, PM, APC), which a terminal that knows them
# would swallow up to the next string terminator, so that the comparison run
# would skip the text behind them.
UNRECOGNISED_BYTES = bytes(
    [0x7F, 0x80, 0x81, 0x82, 0x83, 0x86, 0x87, 0x89, 0x8A, 0x8B, 0x8C]
    + [0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x99]
    + list(range(0xA0, 0xFF))
)
# ESC finals and ESC # forms that nothing matches, and control sequences whose
# final or private form the interpreter consumes without effect (none of them
# asks for a reply, none opens a string).
UNRECOGNISED_SEQUENCES = (
    b"\x1bx", b"\x1b!Q", b"\x1b#7", b"\x1bV", b"\x1bW", b"\x1bl", b"\x1bk", b"\x1b`",
    b"\x1b[3z", b"\x1b[?25h", b"\x1b[?25l", b"\x1b[?1049h", b"\x1b[>1;2p", b"\x1b[12;40t", b"\x1b[1 q",
    b"\x1b[2;3;4;5S", b"\x1b[T", b"\x1b[3@", b"\x1b[5X", b"\x1b[?2004h",
)


def unrecognised_mix(rng, size):
    parts = []
    total = 0
    while total < size:
        r = rng.below(8)
        if r < 3:
            piece = (text_line(rng, rng.below(60) + 1) + "\r\n").encode("ascii")
        elif r < 5:
            piece = bytes(rng.pick(UNRECOGNISED_BYTES) for _ in range(rng.below(6) + 1))
        elif r < 7:
            piece = rng.pick(UNRECOGNISED_SEQUENCES)
        else:
            piece = rng.pick(WORDS).encode("ascii") + bytes([rng.pick(UNRECOGNISED_BYTES)])
        parts.append(piece)
        total += len(piece)
    return b"".join(parts)[:size]


# ---- 3270 -------------------------------------------------------------------------

ADDRESS_CODES = bytes(
    [0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
     0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
     0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
     0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F])

# Printable ASCII to EBCDIC (code page 037).
EBCDIC = {}
for ch, code in zip(
        " abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,:;=-_/()*+'",
        [0x40] + list(range(0x81, 0x8A)) + list(range(0x91, 0x9A)) + list(range(0xA2, 0xAA))
        + list(range(0xC1, 0xCA)) + list(range(0xD1, 0xDA)) + list(range(0xE2, 0xEA))
        + list(range(0xF0, 0xFA))
        + [0x4B, 0x6B, 0x7A, 0x5E, 0x7E, 0x60, 0x6D, 0x61, 0x4D, 0x5D, 0x5C, 0x4E, 0x7D]):
    EBCDIC[ch] = code
assert len(EBCDIC) == 76

SBA, SF, IC, RA, SA, SFE = 0x11, 0x1D, 0x13, 0x3C, 0x28, 0x29
IAC, EOR = 0xFF, 0xEF
ATTR_PROTECTED = (0x60, 0xE8, 0xF0)   # protected: normal, intensified, skip
ATTR_INPUT = (0x40, 0xC1, 0x4C)        # unprotected: normal, modified, non-display


def address(offset):
    return bytes([ADDRESS_CODES[(offset >> 6) & 0x3F], ADDRESS_CODES[offset & 0x3F]])


def ebcdic_text(text):
    return bytes(EBCDIC.get(c, 0x40) for c in text)


def record_3270(rng):
    """One Erase/Write of 43 fields: a title, 20 rows of a protected label and an
    input field each (an input field runs to the next row's label, half of them
    filled by Repeat to Address), a key line; the cursor in the first input
    field. A data byte 0xFF (EBCDIC EO) appears now and then, doubled."""
    out = bytearray([0xF5, 0xC3])
    out += bytes([SBA]) + address(0) + bytes([SF, 0xE8]) + ebcdic_text(text_line(rng, 60))
    out += bytes([SBA]) + address(79) + bytes([SF, 0x60])
    out += bytes([RA]) + address(160) + bytes([EBCDIC["-"]])
    for i in range(20):
        row = 2 + i
        base = row * 80
        label = "%02d %s" % (i + 1, text_line(rng, 14))
        out += bytes([SBA]) + address(base) + bytes([SF, rng.pick(ATTR_PROTECTED)]) + ebcdic_text(label[:18])
        out += bytes([SBA]) + address(base + 19) + bytes([SF, rng.pick(ATTR_INPUT)])
        if i == 0:
            out += bytes([IC])
        value = text_line(rng, rng.below(50) + 1)
        data = bytearray(ebcdic_text(value))
        if rng.below(8) == 0:
            data.insert(rng.below(len(data) + 1), 0xFF)
        out += data.replace(b"\xff", b"\xff\xff")
        if rng.below(2):
            out += bytes([RA]) + address(base + 80) + bytes([EBCDIC["_"]])
    out += bytes([SBA]) + address(23 * 80) + bytes([SF, 0xE8]) + ebcdic_text("PF3=END PF7=UP PF8=DOWN")
    out += bytes([IAC, EOR])
    return bytes(out)


def tn3270_records(rng, count):
    return b"".join(record_3270(rng) for _ in range(count))


# Extended attributes: the field attribute, foreground colour, highlighting.
XA_FIELD, XA_FOREGROUND, XA_HIGHLIGHT = 0xC0, 0x42, 0x41
COLORS = (0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7)   # blue .. white
HIGHLIGHTS = (0xF1, 0xF2, 0xF4)                        # blink, reverse, underscore
EXT_COLUMNS = 132


def sfe(rng, attribute):
    """Start Field Extended: the field attribute and a colour; highlighting too
    on one field in four."""
    pairs = [(XA_FIELD, attribute), (XA_FOREGROUND, rng.pick(COLORS))]
    if rng.below(4) == 0:
        pairs.append((XA_HIGHLIGHT, rng.pick(HIGHLIGHTS)))
    return bytes([SFE, len(pairs)]) + b"".join(bytes(p) for p in pairs)


def record_3270_extended(rng):
    """The counterpart of record_3270 for a 3279-5-E: one Erase/Write Alternate
    of the same 43 fields laid out the same way on 27 x 132 (a title, 20 rows
    of a protected label and an input field each, a key line on the last row;
    an input field runs to the next row's label, half of them filled by Repeat
    to Address; the cursor in the first input field). Every field is started by
    Start Field Extended with a colour, one in four with highlighting too; in
    one input field in four the last word is a run of a colour of its own, half
    of them highlighted as well (Set Attribute, then Set Attribute back to the
    defaults). The input fields' text is a little shorter than record_3270's,
    so that the longer orders leave the records about as long as its (some 13%
    more bytes, 10% less text). A data byte 0xFF appears now and then, doubled."""
    out = bytearray([0x7E, 0xC3])
    out += bytes([SBA]) + address(0) + sfe(rng, 0xE8) + ebcdic_text(text_line(rng, 60))
    out += bytes([SBA]) + address(EXT_COLUMNS - 1) + sfe(rng, 0x60)
    out += bytes([RA]) + address(2 * EXT_COLUMNS) + bytes([EBCDIC["-"]])
    for i in range(20):
        base = (2 + i) * EXT_COLUMNS
        label = "%02d %s" % (i + 1, text_line(rng, 14))
        out += bytes([SBA]) + address(base) + sfe(rng, rng.pick(ATTR_PROTECTED)) + ebcdic_text(label[:18])
        out += bytes([SBA]) + address(base + 19) + sfe(rng, rng.pick(ATTR_INPUT))
        if i == 0:
            out += bytes([IC])
        value = text_line(rng, rng.below(42) + 1)
        data = bytearray(ebcdic_text(value))
        if rng.below(8) == 0:
            data.insert(rng.below(len(data) + 1), 0xFF)
        data = data.replace(b"\xff", b"\xff\xff")
        if rng.below(4) == 0:
            # The last word in a run of its own look.
            cut = data.rfind(EBCDIC[" "]) + 1
            run = bytes([SA, XA_FOREGROUND, rng.pick(COLORS)])
            if rng.below(2):
                run += bytes([SA, XA_HIGHLIGHT, rng.pick(HIGHLIGHTS)])
            data[cut:cut] = run
            data += bytes([SA, 0x00, 0x00])
        out += data
        if rng.below(2):
            out += bytes([RA]) + address(base + EXT_COLUMNS) + bytes([EBCDIC["_"]])
    out += bytes([SBA]) + address(26 * EXT_COLUMNS) + sfe(rng, 0xE8) + ebcdic_text("PF3=END PF7=UP PF8=DOWN")
    out += bytes([IAC, EOR])
    return bytes(out)


def tn3270_extended(rng, count):
    return b"".join(record_3270_extended(rng) for _ in range(count))


# ---- files --------------------------------------------------------------------

def outputs(divisor, records):
    return [
        ("vt100-plain.bin", lambda: plain_text(Rng(SEED + 1), 32 * MIB // divisor)),
        ("vt100-csi.bin", lambda: csi_heavy(Rng(SEED + 2), 16 * MIB // divisor)),
        ("vt100-unrecognised.bin", lambda: unrecognised_mix(Rng(SEED + 3), 4 * MIB // divisor)),
        ("tn3270-records.bin", lambda: tn3270_records(Rng(SEED + 4), records)),
        ("tn3270-extended.bin", lambda: tn3270_extended(Rng(SEED + 5), records)),
    ]


def main(argv):
    args = argv[1:]
    small = "--small" in args
    args = [a for a in args if a != "--small"]
    if len(args) != 1:
        sys.stderr.write(__doc__)
        return 2
    directory = args[0]
    divisor, records = (32, TN3270_RECORDS // 32) if small else (1, TN3270_RECORDS)
    os.makedirs(directory, exist_ok=True)
    stamp_path = os.path.join(directory, "inputs.version")
    stamp = "%s %s %d %s" % (FORMAT_VERSION, "small" if small else "full", records,
                             hashlib.sha256(open(__file__, "rb").read()).hexdigest())
    names = [name for name, _ in outputs(divisor, records)] + ["tn3270-records.count"]
    if (os.path.exists(stamp_path) and open(stamp_path).read().strip() == stamp
            and all(os.path.exists(os.path.join(directory, n)) for n in names)):
        return 0
    for name, make in outputs(divisor, records):
        data = make()
        assert b"\xff" not in data or name.startswith("tn3270"), name
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
        print("%-24s %9d bytes  sha256 %s" % (name, len(data), hashlib.sha256(data).hexdigest()[:16]))
    with open(os.path.join(directory, "tn3270-records.count"), "w") as f:
        f.write("%d\n" % records)
    with open(stamp_path, "w") as f:
        f.write(stamp + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
