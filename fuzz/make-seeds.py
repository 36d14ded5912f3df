#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/<target>/ and the dictionaries.

The seeds are small inputs in each target's own input layout, made from what
the tests feed the terminal: the opening negotiation, the HELLO record, escape
sequences, a settings file, short sessions of window messages, scripts of
action lines, the model screens' records (structured fields, the extended
orders, the reads in each reply mode), and TN3270E negotiations and records.
Run again after changing it; it replaces the files it writes.
"""
import hashlib
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

IAC, DONT, DO, WONT, WILL, SB, SE, EOR = 255, 254, 253, 252, 251, 250, 240, 239
ECHO, BINARY, SGA, TTYPE, OPT_EOR, NAWS, AUTH = 1, 0, 3, 24, 25, 31, 37


def b(*values):
    return bytes(values)


# The 3270 negotiation a host runs with an IBM-3278-2 terminal.
NEGOTIATION_3270 = (b(IAC, DO, TTYPE) + b(IAC, SB, TTYPE, 1, IAC, SE) + b(IAC, DO, OPT_EOR) + b(IAC, WILL, OPT_EOR) +
                    b(IAC, DO, BINARY) + b(IAC, WILL, BINARY))
# Erases the screen and writes a protected "HELLO" at 1..5 and an input field from 7.
HELLO = bytes.fromhex("F5C31140401D60C8C5D3D3D61D40FFEF")
# Fields, a cursor, repeat-to-address and erase-unprotected, a program tab and new line.
RECORDS = [
    HELLO,
    bytes.fromhex("F5C3114040 1D60 C8C5D3D3D6 1D40 13 1140D0 1DF0 C1C2 1D60 FFEF".replace(" ", "")),
    bytes.fromhex("F1C3 11C150 3C4040 5C 1D40 05 C1 15 C2 FFEF".replace(" ", "")),
    bytes.fromhex("F5C2 1D40 1140C8 1D60 1240C1 05 13 FFEF".replace(" ", "")),
    bytes.fromhex("7EC3 1D4C C1C2C3 1D6C FFFF FFEF".replace(" ", "")),
    bytes.fromhex("6F FFEF"),
    bytes.fromhex("F1C1 114040 1D40 C1C1 FFEF"),
    bytes.fromhex("01C2 11 5D7F 1D40 C8 FFEF".replace(" ", "")),
    bytes.fromhex("D440 FFEF"),
    bytes.fromhex("F5C3 3C5D7F 5C FFEF".replace(" ", "")),
    bytes.fromhex("F5C3" + "1D40C1" * 30 + "FFEF"),
]

NVT_TEXT = [
    b"Hello, world\r\n",
    b"login: ",
    b"\x1b[2J\x1b[H",
    b"\x1b[1;1H\x1b[7mreverse\x1b[0m",
    b"\x1b[5;20r\x1b[20;1H\n\n\n",
    b"\x1b7\x1b[10;10Hx\x1b8",
    b"\x1bD\x1bM\x1bE",
    b"\x1b[K\x1b[1K\x1b[2K\x1b[J\x1b[1J",
    b"\x1b[4h ins \x1b[4l",
    b"\x1b[20h\r\x1b[20l",
    b"\x1b[6n\x1b[c\x1bZ",
    b"\x1b(0lqqk\r\nx  x\r\nmqqj\x1b(B",
    b"\x1b[?1h\x1b=\x1bOA\x1b>\x1b[?1l",
    b"\x1b[3L\x1b[2M\x1b[3P",
    b"\x1b[10A\x1b[5B\x1b[70C\x1b[99D",
    b"\x1b[0;1;4;5;7m bold \x1b[m",
    b"\x1b[24;80Hz\x1b[999;999H",
    b"\x1b#8\x1b#3",
    b"~{<:Ky~}~~",
    b"tab\there\x08\x08\x07",
    b"\x1bY  \x1bA\x1bB\x1bC\x1bJ\x1bK\x1bH",
    b"\x1b[" + b"1;" * 40 + b"H",
]

TELNET_COMMANDS = [
    b(IAC, DO, ECHO), b(IAC, WILL, ECHO), b(IAC, WONT, ECHO), b(IAC, DONT, ECHO),
    b(IAC, DO, SGA), b(IAC, WILL, SGA), b(IAC, DO, NAWS), b(IAC, SB, NAWS, 1, IAC, SE),
    b(IAC, DO, TTYPE), b(IAC, SB, TTYPE, 1, IAC, SE), b(IAC, DO, AUTH), b(IAC, DO, 99), b(IAC, WILL, 99),
    b(IAC, DONT, BINARY), b(IAC, WONT, BINARY), b(IAC, WONT, OPT_EOR), b(IAC, DONT, OPT_EOR),
    b(IAC, IAC), b(IAC, 241), b(IAC, 249), b(IAC, EOR), b(IAC, 17, 0), b(IAC, SB, 5, 1, 2, IAC, IAC, 3, IAC, SE),
]


def split_input(pieces, flags=0):
    """The split layout: flags and cut count, the piece lengths, the stream."""
    cuts = [len(p) for p in pieces[:-1]][:7]
    assert all(c < 256 for c in cuts)
    return bytes([(flags << 3) | len(cuts)] + cuts) + b"".join(pieces)


def cut_everywhere(stream, flags=0, limit=6):
    out = []
    for k in range(1, min(len(stream), limit + 1)):
        out.append(split_input([stream[:k], stream[k:]], flags))
    return out


class Writer:
    def __init__(self, target):
        self.dir = os.path.join(CORPUS, target)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.count = 0

    def add(self, data):
        assert len(data) < 4096
        name = hashlib.sha1(data).hexdigest()
        with open(os.path.join(self.dir, name), "wb") as f:
            f.write(data)
        self.count += 1


def telnet_vt100():
    w = Writer("fuzz_telnet_vt100")
    opening = b"".join(TELNET_COMMANDS[:8])
    w.add(split_input([opening]))
    w.add(split_input([opening + b"".join(NVT_TEXT[:4])], flags=1))
    for i, c in enumerate(TELNET_COMMANDS):
        w.add(split_input([c + NVT_TEXT[i % len(NVT_TEXT)]], flags=(i & 1) | 2 * ((i >> 1) & 1)))
    for t in NVT_TEXT:
        w.add(split_input([t]))
    # Commands and sequences cut by reads.
    w.add(split_input([b(IAC), b(SB, TTYPE, 1, IAC), b(SE) + b"ok"]))
    w.add(split_input([b"\x1b[1", b"0;2", b"0Hx"]))
    w.add(split_input([b"\x1b", b"[2J", b(IAC, DO), b(ECHO)]))
    # The switch to 3270 with the IBM terminal type, then a record.
    w.add(split_input([NEGOTIATION_3270, HELLO], flags=4))
    w.add(split_input([NEGOTIATION_3270 + HELLO[:5], HELLO[5:]], flags=4 | 8))
    # More than one read holds, in one call.
    w.add(split_input([b"\x1b[1;1H\x1b[3", b"1m" + b"0123456789" * 205], flags=16))
    return w.count


def telnet_3270():
    w = Writer("fuzz_telnet_3270")
    for i, r in enumerate(RECORDS):
        w.add(split_input([r], flags=(i & 1) | (8 if i & 2 else 0)))
    w.add(split_input([NEGOTIATION_3270 + HELLO]))
    for s in cut_everywhere(HELLO[:6] + b(IAC, IAC) + HELLO[6:], limit=3):
        w.add(s)
    w.add(split_input([HELLO[:-1], HELLO[-1:] + RECORDS[1]]))
    w.add(split_input([b(IAC, DONT, BINARY) + HELLO]))
    w.add(split_input([b(IAC, WONT, OPT_EOR) * 3 + b(IAC, DONT, TTYPE)]))
    w.add(split_input([b(IAC, DO, TTYPE, IAC, SB, TTYPE, 1, IAC, SE) + RECORDS[2]]))
    w.add(split_input([b(IAC, EOR), b(IAC), b(IAC, 0x40, IAC, EOR)]))
    w.add(split_input([b(0xF5, 0xC3) + b"\x40" * 300 + b(IAC, EOR)]))
    w.add(split_input([b(0xF5, 0xC3, 0x1D, 0x40) + b"\xC1" * 1000 + b(IAC, IAC) * 500 + b(IAC, EOR)], flags=16))
    return w.count


def inbound(record, ops, flags=0):
    return bytes([flags]) + struct.pack("<H", len(record)) + record + ops


def inbound_3270():
    w = Writer("fuzz_inbound_3270")
    VK_TAB, VK_BACK, VK_RETURN, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_DELETE, VK_F1 = (
        9, 8, 13, 37, 39, 38, 40, 36, 35, 46, 112)
    for i, r in enumerate(RECORDS):
        w.add(inbound(r, b""))
        # Tab to the input field, type, Enter.
        ops = b(3, VK_TAB) + b(4, ord("a")) + b(4, ord("b")) + b(3, VK_RETURN) + b(10 if i else 0x8E)
        w.add(inbound(r, ops, flags=(i & 1) | (4 if i % 3 == 0 else 0)))
    hello = HELLO[:-2]
    w.add(inbound(hello, b(0, 0, 0) + b(1, 0xFF, 0xFF) + b(0x10, 0x50, 0x07), flags=2))
    w.add(inbound(hello, b(2, 5) + b"hello" + b(5, 0x7D, 3, 0, 2, 0), flags=2))
    w.add(inbound(hello, b(0x12, 120) + b"x" * 120 + b(5, 0xF1, 0xFF, 0xFF, 0xFF, 0x7F), flags=2))
    w.add(inbound(hello, b(0x32, 3) + b"abc" + b(0xFF, 0x7F) + b(6, 0x7D) + b(7) + b(8), flags=2))
    keys = bytes([VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_DELETE, VK_BACK, VK_F1, 45])
    w.add(inbound(hello, b"".join(b(3, k) for k in keys) + b(0x8E), flags=3))
    w.add(inbound(hello, b(9, 4) + b(IAC, EOR, IAC, IAC) + b(0x19, 6) + HELLO[:6], flags=2))
    return w.count


# The 12-bit address codes, and a buffer address in them (14-bit from 4096).
ADDRESS_CODES = bytes(
    [0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
     0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
     0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
     0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F])


def address12(a):
    return b(ADDRESS_CODES[(a >> 6) & 0x3F], ADDRESS_CODES[a & 0x3F])


def address14(a):
    return b((a >> 8) & 0x3F, a & 0xFF)


# Orders and structured fields of the model screens.
PT, GE, SBA, EUA, IC, SF, SA, SFE, MF, RA = 0x05, 0x08, 0x11, 0x12, 0x13, 0x1D, 0x28, 0x29, 0x2C, 0x3C
WSF, EWA, EW, W = 0xF3, 0x7E, 0xF5, 0xF1


def structured_field(sf_id, body):
    return struct.pack(">H", len(body) + 3) + b(sf_id) + body


QUERY = structured_field(0x01, b(0xFF, 0x02))
QUERY_LIST = structured_field(0x01, b(0xFF, 0x03, 0x00, 0x81, 0x86, 0x87, 0xA6))
QUERY_LIST_ALL = structured_field(0x01, b(0xFF, 0x03, 0x80))
CHARACTER_MODE = structured_field(0x09, b(0x00, 0x02, 0x41, 0x42, 0x45, 0x43))
EXTENDED_FIELD_MODE = structured_field(0x09, b(0x00, 0x01))
ERASE_RESET_ALTERNATE = structured_field(0x03, b(0x80))
# Fields with colours and highlighting, runs of Set Attribute, a graphic
# escape, repeat and erase to an address, a program tab and the cursor.
EXTENDED_SCREEN = (
    b(EWA, 0xC3, SBA) + address12(0) + b(SFE, 3, 0xC0, 0x60, 0x42, 0xF2, 0x41, 0xF2) + b"\xC8\xC5\xD3\xD3\xD6" +
    b(SA, 0x41, 0xF4) + b"\xC1\xC2" + b(SA, 0x42, 0xF5) + b"\xC3" + b(SA, 0x41, 0xF1) + b"\xC4" + b(SA, 0x00, 0x00) + b(GE, 0xC5) +
    b(SBA) + address12(80) + b(SFE, 2, 0xC0, 0x40, 0x42, 0xF4) + b"\xF1\xF2" + b(PT) +
    b(RA) + address12(200) + b(GE, 0xC6) + b(SFE, 1, 0xC0, 0x50) + b(RA) + address12(260) + b"\x4B" +
    b(SF, 0x60) + b(SBA) + address12(82) + b(EUA) + address12(150) + b(IC) + b(SBA) + address12(300) +
    b(SFE, 4, 0xC0, 0xF0, 0x45, 0xF1, 0x43, 0xF1, 0x99, 0x01) + b(SA, 0x43, 0xF8) + b"\x40" + b(PT, PT))
# Three input fields between protected ones, for the keyboard walk.
INPUT_SCREEN = (
    b(EW, 0xC3) + b(SF, 0x60) + b"\xD5\xC1\xD4\xC5" + b(SFE, 2, 0xC0, 0x40, 0x41, 0xF4) + b(RA) + address12(40) +
    b"\x00" + b(SF, 0x60) + b(SFE, 1, 0xC0, 0x50) + b(SBA) + address12(60) + b(SF, 0xF0) + b(SBA) + address12(70) +
    b(SF, 0xC1) + b"\xC1" + b(SBA) + address12(78) + b(SF, 0x60))


def model_piece(ops, record):
    return b(ops) + record


def model_input(model, pieces, flags=0):
    """The model target's layout: model and flags (bit 0 CreateScreen, 1 trace,
    2 record handler, 3 paint), then pieces between IAC EORs."""
    return b(model | (flags << 3)) + b(IAC, EOR).join(model_piece(ops, r) for ops, r in pieces)


def model_3270():
    w = Writer("fuzz_model_3270")
    # Models: 0 3278-2-E, 1 3279-2-E, 2 3279-3-E, 3 3279-4-E, 4 3279-5-E, 5 3278-3, 6 3279-5, 7 3278-5-E.
    RB, RM, RMA = 1, 2, 3
    walk = lambda typed: (typed + 1) << 2
    enter, clear = 0x20, 0xE0
    w.add(model_input(4, [(0, b(WSF) + QUERY)]))
    w.add(model_input(1, [(0, b(WSF) + QUERY_LIST)]))
    w.add(model_input(0, [(0, b(0x11) + QUERY_LIST_ALL + CHARACTER_MODE)]))
    for model in (1, 3, 4, 5):
        w.add(model_input(model, [(RB, EXTENDED_SCREEN)]))
    w.add(model_input(4, [(walk(2) | RM, EXTENDED_SCREEN)], flags=1 | 8))
    w.add(model_input(3, [(0, EXTENDED_SCREEN)], flags=8))
    # 14-bit addresses on the 27 x 132 screen: the last position, a field before it.
    w.add(model_input(4, [(RB, b(EWA, 0xC3, SBA) + address14(3560) + b(SF, 0x40, 0xC1, 0xC2, SBA) + address14(3563) +
                               b(SF, 0x60) + b(SBA) + address14(4000))]))
    w.add(model_input(3, [(RB, b(EWA, 0xC3, SBA) + address14(3439) + b(SFE, 1, 0xC0, 0x40, RA) + address14(100) +
                               b(0xC1))]))
    # Set Reply Mode, then the reads in that mode.
    w.add(model_input(1, [(0, b(WSF) + CHARACTER_MODE), (0, EXTENDED_SCREEN), (0, b(0xF2)), (0, b(0xF6)),
                           (0, b(0x6E))]))
    w.add(model_input(4, [(0, b(WSF) + EXTENDED_FIELD_MODE), (walk(1), INPUT_SCREEN), (0, b(0xF2)), (0, b(0x6E))]))
    # Erase/Reset to the alternate size, a write through Outbound 3270DS, Modify Field.
    w.add(model_input(4, [(0, b(WSF) + ERASE_RESET_ALTERNATE + structured_field(0x40, b(0x00) + INPUT_SCREEN)),
                          (RB, b(W, 0xC2, SBA) + address12(0) + b(MF, 2, 0xC0, 0xE8, 0x41, 0xF1) + b(SBA) +
                           address12(5) + b(MF, 1, 0x42, 0xF6))]))
    w.add(model_input(2, [(0, b(WSF) + structured_field(0x01, b(0x00, 0xF2)) + structured_field(0x01, b(0x00, 0xF6)))]))
    # The keyboard on input fields, with the attention keys and the host's restore.
    w.add(model_input(0, [(walk(3) | RM | enter, INPUT_SCREEN), (walk(1), b(W, 0xC2)), (walk(6) | RMA | clear, b(0x6F))]))
    w.add(model_input(6, [(walk(2), INPUT_SCREEN)], flags=1 | 4 | 8))
    w.add(model_input(7, [(walk(0) | 0x60, b(EWA, 0x40)), (walk(1), b(EW, 0xC3))], flags=2))
    # Bytes past the end of a structured field or an order.
    w.add(model_input(4, [(0, b(WSF, 0x00, 0x09, 0x01, 0xFF)), (0, b(EWA, 0xC3, SFE, 4, 0xC0)), (0, b(EWA, 0xC3, RA, 0x40))]))
    return w.count


def vt100_parser():
    w = Writer("fuzz_vt100_parser")
    for i, t in enumerate(NVT_TEXT):
        w.add(split_input([t], flags=i & 3))
    w.add(split_input([b"\x1b[", b"1;2", b"H"]))
    w.add(split_input([b"\x1b(", b"0q"]))
    w.add(split_input([b"ab" + b(IAC) + b"cd", b"\x1b[7m"]))
    w.add(split_input([b"\x1b[" + b"9" * 300 + b"A"]))
    w.add(split_input([b"~", b"{ab~", b"}"]))
    return w.count


def settings():
    w = Writer("fuzz_settings")
    keys = ["BackGroundColor", "UnProtectedHighLightColor", "ProtectedHighLightColor", "UnProtectedNormalColor",
            "ProtectedNormalColor"]
    w.add(("[Quillon]\n" + "".join(f"{k}=1,2,3\n" for k in keys)).encode())
    w.add(b"[quillon]\r\nbackgroundcolor = 255 , 255 , 255\r\n")
    w.add(b"[Quillon]\nBackGroundColor=-1,99999999999999,+7\nProtectedNormalColor=1,2\n")
    w.add(b"[Quillon]\nBackGroundColor=\nUnProtectedNormalColor=,,\n")
    w.add(b"[Other]\nBackGroundColor=1,1,1\n[Quillon]\nBackGroundColor=9,9,9\n")
    w.add(b"[Quillon]\nBackGroundColor=" + b"7" * 200 + b"\n")
    w.add(b"[Quillon\nBackGroundColor=1,2,3")
    w.add(b"; comment\n[Quillon]\n\n=1,2,3\nBackGroundColor\n")
    w.add(b"1,2,3")
    w.add(b"[Quillon]\nBackGroundColor=1,2,3\x00junk\n")
    return w.count


SCRIPT_ACTIONS = ["Connect", "Disconnect", "Quit", "Wait", "String", "Enter", "Tab", "BackTab", "Home", "Clear", "PF",
                  "PA", "SysReq", "MoveCursor", "MoveCursor1", "DeleteField", "EraseEOF", "BackSpace", "Ascii",
                  "AsciiField", "Snap", "Query"]
SCRIPT_WORDS = ["InputField", "Output", "Unlock", "Disconnect", "3270Mode", "NVTMode", "Seconds", "Save", "Ascii",
                "ConnectionState", "Cursor", "Formatted", "Host", "LuName", "Model", "Tls"]


def script_line():
    w = Writer("fuzz_script_line")
    w.add(b'Connect(127.0.0.1:2323)\nWait(InputField)\nAscii\nString("joe")\nTab\nString("x")\nEnter\n'
          b'Wait(InputField)\nAscii(0, 0, 2, 80)\nPF(3)\nWait(Disconnect)\nQuit\n')
    w.add(b'String("a\\"b\\\\c\\n\\t\\b\\e\\f\\r\\q")\nString "x y" z,w\nString(,)\n')
    w.add(b"MoveCursor(24, 80)\nMoveCursor1 1 1\nMoveCursor(-1, 99999999999999999999)\nMoveCursor(1x, 0)\n")
    w.add(b"Ascii\nAscii(1920)\nAscii(0, 0, 1920)\nAscii(23, 79, 1, 1)\nAscii(1, 2)\nAsciiField\n")
    w.add(b"Wait(1, Output)\nWait(0.5, Seconds)\nWait(Unlock)\nWait(nan, 3270Mode)\nWait(1e400, NVTMode)\n")
    w.add(b"PF(1)\nPF(24)\nPF(0)\nPA(3)\nClear\nSysReq\nEnter(1)\n")
    w.add(b"Snap\nSnap(Ascii)\nSnap(Save)\nSnap(x)\n")
    w.add(b"Query(ConnectionState)\nQuery(Cursor)\nQuery(Formatted)\nQuery(Host)\nQuery(LuName)\n"
          b"Query(Model)\nQuery(Tls)\nQuery(x)\n")
    w.add(b'Bogus(1,,2)\nString("abc\nString(a(b))\n(\n \t\r\nA b, c  d\nX) \nY("a") z\n')
    w.add(b"DeleteField\nEraseEOF\nBackSpace\nHome\nBackTab\nDisconnect\nQuit(1)\n")
    return w.count


def window_messages():
    w = Writer("fuzz_window_messages")
    IDM = dict(EXIT=102, CONNECT=103, ABOUT=105, COLOR=107, ESCAPE=109, FIND=110, SELECT=111, COPY=114,
               PASTE=115, CLEAR=116, IACSTRING=117, TIMER=118, TEXTFONT=119, LFCR=123, KEY0=128, NOP=142,
               AYT=147, PA1=151, CLEARKEY=154, REFRESH=156)

    def menu(name):
        return b(6, IDM[name] - 102)

    def key(vk, lparam=1):
        return b(0, vk) + struct.pack("<I", lparam)

    def char(c, lparam=1):
        return b(2, c) + struct.pack("<I", lparam)

    def mouse(which, x, y):
        return b(4 | (which << 4)) + struct.pack("<HH", x, y)

    def host(data, stray=False):
        return b(8 | (0x10 if stray else 0), len(data)) + data

    size = b(5) + struct.pack("<HH", 810, 520)
    layout = b(10 | (0 << 4))
    paint = b(11)
    for mode in (0, 1):
        w.add(b(mode) + char(ord("a")) + char(13) + key(13) + key(37) + key(9))
        w.add(b(mode) + size + layout + paint)
        w.add(b(mode) + mouse(0, 30, 40) + mouse(1, 300, 200) + menu("COPY") + menu("PASTE"))
        w.add(b(mode) + mouse(2, 70, 20) + mouse(2, 65535, 65535))
        w.add(b(mode) + host(HELLO) + paint + key(9) + char(ord("x")) + key(13))
        w.add(b(mode | 2) + host(b"\x1b[2J\x1b[1;1Hhello\r\n") + paint)
        w.add(b(mode) + b(7) + struct.pack("<I", 0) + b(7) + struct.pack("<I", 4 | (50 << 16)) + b(7, 3, 0, 0, 0))
        w.add(b(mode) + b(13, 8) + b"\\033[2J" + menu("ESCAPE"))
        w.add(b(mode) + b(14, 6) + b"pasted" + menu("PASTE"))
        w.add(b(mode) + char(ord("z"), 0x80000000 | 300))
        w.add(b(mode) + menu("TIMER") + b(10 | (1 << 4)) + menu("TIMER"))
        w.add(b(mode) + b(3, 0x79) + struct.pack("<I", 1) + b(12 | 0x10) + key(0x70))
    for name in ("ABOUT", "COLOR", "FIND", "SELECT", "CLEAR", "IACSTRING", "TEXTFONT", "LFCR", "KEY0", "NOP", "AYT",
                 "PA1", "CLEARKEY", "REFRESH"):
        w.add(b(0) + menu(name))
    w.add(b(0) + menu("CONNECT"))
    w.add(b(0) + menu("EXIT"))
    w.add(b(0) + b(9 | 0xE0))
    w.add(b(1) + b(9) + b(9 | 0x10, 1, 0))
    w.add(b(0) + b(5) + struct.pack("<HH", 0, 0) + layout + paint)
    w.add(b(0) + b(5) + struct.pack("<HH", 65535, 65535) + layout + paint)
    return w.count

TN3270E = 40
# Its subnegotiation commands, functions and data types.
CONNECT, DEVICE_TYPE, FUNCTIONS, IS, REASON, REJECT, REQUEST, SEND = 1, 2, 3, 4, 5, 6, 7, 8
BIND_IMAGE, RESPONSES, SYSREQ = 0, 2, 4
DATA_3270, RESPONSE, BIND, UNBIND, NVT_DATA, SSCP_LU_DATA = 0, 2, 3, 4, 5, 7
# A BIND for an LU type 2 display: default 24x80, alternate 43x80.
BIND_IMAGE_43 = bytes.fromhex("3101 0303 B1903080 0000 8787 00 02 800000000000 1850 2B50 7F 00 00".replace(" ", ""))


# Steps of fuzz_tn3270e: raw host bytes, a record cut in two reads, a
# subnegotiation, a prepared message, SYSREQ, ATTN, a key, a bare Telnet command.
def step_raw(data):
    return b(0, len(data)) + data


def step_record(header, body, cut):
    return b(1) + bytes(header) + b(len(body)) + body + b(cut)


def step_sub(body):
    return b(2, len(body)) + body


def step_prepared(which, extra=b""):
    return b((which << 3) | 3) + extra


STEP_SYSREQ, STEP_ATTN = b(4), b(5)


def step_key(which, char=b""):
    return b((which << 3) | 6) + char


def step_command(which):
    return b((which << 3) | 7)


def tn3270e():
    w = Writer("fuzz_tn3270e")
    hello = HELLO[:-2]
    device_is = bytes([DEVICE_TYPE, IS]) + b"IBM-3278-4-E" + bytes([CONNECT]) + b"QLU00001"
    # The negotiation played first (bit 5), all three functions, then a session.
    session = (step_record((BIND, 0, 0, 0, 0), BIND_IMAGE_43, 7) + step_record((DATA_3270, 0, 2, 0, 1), hello, 3) +
               step_key(5, b"A") + step_key(0) + STEP_SYSREQ + STEP_ATTN +
               step_record((SSCP_LU_DATA, 0, 0, 0, 2), b"\xc8\xc5\xd3\xd3\xd6\x15", 0) + step_key(5, b"x") +
               step_key(0) + step_record((NVT_DATA, 0, 0, 0, 3), b"hello\r\n", 20) + step_key(0) + step_key(3) +
               step_record((UNBIND, 0, 0, 0, 4), b"\x01", 2) + step_key(0) +
               step_record((RESPONSE, 0, 0, 0, 5), b"\x00", 6))
    w.add(b(0x20 | 3, 0x15) + session)
    w.add(b(0x20 | 0x10 | 0x08 | 5, 0x05) + session)
    w.add(b(0x20 | 0x40 | 0x80 | 6, 0x14) + session)
    # Each step of the negotiation by hand, the functions asked narrowed by the host.
    w.add(b(1) + step_prepared(0) + step_prepared(3) + step_prepared(4) + step_prepared(7, b(0x14)) +
          step_prepared(6, b(0x14)) + step_record((DATA_3270, 0, 1, 0xFF, 0xFF), hello, 9) + step_key(1))
    # The device type rejected, then TN3270.
    w.add(b(0) + step_prepared(0) + step_prepared(3) + step_prepared(5, b(4)) + step_prepared(8) + step_raw(HELLO))
    # Subnegotiations as they come: an LU too long, a list with IAC and repeats, an empty one.
    w.add(b(2) + step_prepared(0) + step_prepared(3) +
          step_sub(bytes([DEVICE_TYPE, IS]) + b"IBM-3278-2-E\x01TOOLONGLU") + step_sub(device_is) +
          step_sub(bytes([FUNCTIONS, IS, 0, 0xFF, 2, 2])) + step_sub(bytes([FUNCTIONS, REQUEST])) + step_sub(b"") +
          step_prepared(2))
    # Records cut short, empty, or with their header split across reads; a refusal in the middle.
    w.add(b(0x20 | 4, 0x01) + step_record((BIND, 0, 0, 0, 0), BIND_IMAGE_43[:20], 1) +
          step_record((DATA_3270, 0, 0, 0, 0), b"", 2) + step_raw(b(0, 0, IAC, EOR)) + step_prepared(1) +
          step_key(0) + step_raw(HELLO))
    # Bare Telnet commands, and text from the SSCP with the highest sequence numbers.
    w.add(b(0x20 | 7, 0x10) + step_command(2) + step_command(0) + step_command(1) + STEP_SYSREQ +
          step_record((SSCP_LU_DATA, 0, 0, 0xFF, 0xFE), b"\x40" * 200, 100) +
          step_record((DATA_3270, 0, 0, 0xFF, 0xFF), hello, 0))
    return w.count


DICTIONARIES = {
    "telnet.dict": [
        ("iac_iac", b(IAC, IAC)), ("iac_eor", b(IAC, EOR)), ("iac_se", b(IAC, SE)), ("iac_sb", b(IAC, SB)),
        ("do_echo", b(IAC, DO, ECHO)), ("will_echo", b(IAC, WILL, ECHO)), ("wont_echo", b(IAC, WONT, ECHO)),
        ("do_ttype", b(IAC, DO, TTYPE)), ("sb_ttype_send", b(IAC, SB, TTYPE, 1, IAC, SE)),
        ("do_naws", b(IAC, DO, NAWS)), ("sb_naws", b(IAC, SB, NAWS, 1, IAC, SE)), ("do_eor", b(IAC, DO, OPT_EOR)),
        ("will_eor", b(IAC, WILL, OPT_EOR)), ("do_binary", b(IAC, DO, BINARY)), ("will_binary", b(IAC, WILL, BINARY)),
        ("dont_binary", b(IAC, DONT, BINARY)), ("wont_binary", b(IAC, WONT, BINARY)), ("do_auth", b(IAC, DO, AUTH)),
        ("do_sga", b(IAC, DO, SGA)), ("nop", b(IAC, 241)), ("ga", b(IAC, 249)),
    ],
    "3270.dict": [
        ("erase_write", b(0xF5)), ("write", b(0xF1)), ("erase_write_alt", b(0x7E)), ("erase_unprotected", b(0x6F)),
        ("read_modified", b(0xF6)), ("read_buffer", b(0xF2)), ("wcc", b(0xC3)), ("sba", b(0x11)), ("sba_0", b(0x11, 0x40, 0x40)),
        ("sba_last", b(0x11, 0x5D, 0x7F)), ("sf_input", b(0x1D, 0x40)), ("sf_protected", b(0x1D, 0x60)),
        ("sf_numeric", b(0x1D, 0x50)), ("sf_hidden", b(0x1D, 0x4C)), ("ic", b(0x13)), ("ra", b(0x3C, 0x40, 0x40)),
        ("eua", b(0x12, 0x40, 0x40)), ("pt", b(0x05)), ("nl", b(0x15)), ("iac_eor", b(IAC, EOR)), ("iac_iac", b(IAC, IAC)),
    ],
    "model.dict": [
        ("write_structured_field", b(WSF)), ("sfe", b(SFE)), ("sa", b(SA)),
        ("mf", b(MF)), ("ge", b(GE)), ("query", QUERY), ("query_list", QUERY_LIST),
        ("query_list_all", QUERY_LIST_ALL), ("reply_mode_character", CHARACTER_MODE),
        ("reply_mode_extended", EXTENDED_FIELD_MODE), ("erase_reset_alternate", ERASE_RESET_ALTERNATE),
        ("outbound_3270ds", b(0x40, 0x00, EW)), ("read_partition_rb", b(0x01, 0x00, 0xF2)),
        ("field", b(0xC0, 0x60)), ("highlight_reverse", b(0x41, 0xF2)), ("foreground_red", b(0x42, 0xF2)),
        ("background_blue", b(0x45, 0xF1)), ("charset_ge", b(0x43, 0xF1)), ("sa_reset", b(SA, 0x00, 0x00)),
        ("sba_14_bit_last", b(SBA) + address14(3563)), ("sba_14_bit", b(SBA, 0x0D, 0x00)),
    ],
    "tn3270e.dict": [
        ("do_tn3270e", b(IAC, DO, TN3270E)), ("dont_tn3270e", b(IAC, DONT, TN3270E)),
        ("wont_tn3270e", b(IAC, WONT, TN3270E)), ("sb_tn3270e", b(IAC, SB, TN3270E)),
        ("send_device_type", b(SEND, DEVICE_TYPE)), ("device_type_is", b(DEVICE_TYPE, IS)),
        ("device_type_reject", b(DEVICE_TYPE, REJECT, REASON)), ("functions_is", b(FUNCTIONS, IS)),
        ("functions_request", b(FUNCTIONS, REQUEST)), ("all_functions", b(BIND_IMAGE, RESPONSES, SYSREQ)),
        ("device_type", b"IBM-3278-2-E"), ("connect_lu", b(CONNECT) + b"QLU00001"),
        ("header_3270", b(DATA_3270, 0, 0, 0, 0)), ("header_always", b(DATA_3270, 0, 2, 0, 1)),
        ("header_bind", b(BIND, 0, 0, 0, 0)), ("header_unbind", b(UNBIND, 0, 0, 0, 0)),
        ("header_sscp", b(SSCP_LU_DATA, 0, 0, 0, 0)), ("header_nvt", b(NVT_DATA, 0, 0, 0, 0)),
        ("header_response", b(RESPONSE, 0, 1, IAC, IAC)), ("sequence_last", b(IAC, IAC, IAC, IAC)),
        ("bind", BIND_IMAGE_43[:6]), ("bind_sizes", BIND_IMAGE_43[20:25]),
    ],
    "vt100.dict": [
        ("csi", b"\x1b["), ("cup", b"\x1b[1;1H"), ("ed", b"\x1b[2J"), ("el", b"\x1b[K"), ("sgr", b"\x1b[7m"),
        ("sgr0", b"\x1b[0m"), ("stbm", b"\x1b[1;24r"), ("sc", b"\x1b7"), ("rc", b"\x1b8"), ("ind", b"\x1bD"),
        ("ri", b"\x1bM"), ("nel", b"\x1bE"), ("irm", b"\x1b[4h"), ("lnm", b"\x1b[20h"), ("dsr", b"\x1b[6n"),
        ("da", b"\x1b[c"), ("g0_graphics", b"\x1b(0"), ("g0_ascii", b"\x1b(B"), ("decckm", b"\x1b[?1h"),
        ("deckpam", b"\x1b="), ("il", b"\x1b[3L"), ("dl", b"\x1b[2M"), ("dch", b"\x1b[3P"), ("cuu", b"\x1b[10A"),
        ("vt52_cursor", b"\x1bY"), ("hz_in", b"~{"), ("hz_out", b"~}"), ("semicolon", b";"), ("question", b"?"),
    ],
}

# Which dictionaries each target uses (concatenated into fuzz/<target>.dict).
TARGET_DICTIONARIES = {
    "fuzz_telnet_vt100": ["telnet.dict", "vt100.dict", "3270.dict"],
    "fuzz_telnet_3270": ["telnet.dict", "3270.dict"],
    "fuzz_inbound_3270": ["3270.dict"],
    "fuzz_vt100_parser": ["vt100.dict"],
    "fuzz_window_messages": ["vt100.dict", "3270.dict"],
    "fuzz_model_3270": ["3270.dict", "model.dict"],
    "fuzz_tn3270e": ["tn3270e.dict", "telnet.dict", "3270.dict"],
}


def dict_entry(name, value):
    def escape(c):
        if c in (0x22, 0x5C) or not 0x20 <= c < 0x7F:
            return f"\\x{c:02X}"
        return chr(c)
    return name + '="' + "".join(escape(c) for c in value) + '"\n'


def write_dictionaries():
    for target, parts in TARGET_DICTIONARIES.items():
        with open(os.path.join(HERE, target + ".dict"), "w") as f:
            f.write("# Made by make-seeds.py.\n")
            for part in parts:
                f.write(f"# {part[:-5]}\n")
                for name, value in DICTIONARIES[part]:
                    f.write(dict_entry(name, value))
    with open(os.path.join(HERE, "fuzz_script_line.dict"), "w") as f:
        f.write("# Made by make-seeds.py.\n")
        for word in dict.fromkeys(SCRIPT_ACTIONS + SCRIPT_WORDS + ["(", ")", ",", " ", "\"", "\\", "\\\"", "\\n", "\n", "-1", "1920"]):
            f.write(dict_entry("", word.encode())[1:])
    with open(os.path.join(HERE, "fuzz_settings.dict"), "w") as f:
        f.write("# Made by make-seeds.py.\n")
        for word in ["[Quillon]", "BackGroundColor=", "UnProtectedHighLightColor=", "ProtectedHighLightColor=",
                     "UnProtectedNormalColor=", "ProtectedNormalColor=", "\r\n", ",", "-", "+"]:
            f.write(dict_entry("", word.encode())[1:])


if __name__ == "__main__":
    for make in (telnet_vt100, telnet_3270, inbound_3270, vt100_parser, settings, window_messages, script_line,
                 model_3270, tn3270e):
        print(f"{make.__name__}: {make()} seeds")
    write_dictionaries()
