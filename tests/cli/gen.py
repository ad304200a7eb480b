#!/usr/bin/env python3
"""gen.py - the command-line cases' synthetic images, archives, databases and DATs, and a trash folder's tree

    gen.py image FILE [WHAT] [--size N] [--seed S] [--plain] [--mark TEXT [--at N]]
        N bytes (8,192) from the seed (the file's name by default) with a Virtual Boy mark ('V' at
        length-544, 'E' 3 bytes on); WHAT, a catalogue name or 8 hex digits, sets the CRC-32 by the last 4
        bytes ("?" or none: an image nobody knows). --plain zeroes the mark's window (length-544 to
        length-510); --mark also writes TEXT N bytes (544) before the end.
    gen.py zip [--deflate] [--garbage I]... [--set FIELD=VALUE]... [--comment N] [--cut N] FILE MEMBER...
        MEMBER is NAME=WHAT (an image as above) or NAME:TEXT; --garbage I makes member I's packed bytes 64
        bytes 0xFF; --set overrides a header field (local0.method, central1.nameLength, end.thisDisk: names
        as in LOCAL, CENTRAL, END); --comment adds an archive comment of N bytes, --cut drops N last bytes.
    gen.py db [--system N] FILE WHAT...
        a have database: "QUOR", the system number (19), the CRCs, each 4 bytes big-endian.
    gen.py dat [--format xml|cmp] [--name N] [--version V] [--damage D] [--synthetic N] FILE ENTRY...
        a Logiqx XML or clrmamepro DAT. ENTRY is NAME=IMAGE, a rom "NAME.vb" with that file's size, CRC-32,
        MD5, SHA-1 and SHA-256, then options each after "|": -FIELD leaves it out, FIELD=V sets it (size,
        crc, md5, sha1, sha256, status), ext=E names the rom NAME+E, game=G puts it in game G (entries of one
        game in a row); a bare NAME is a "nodump" rom. --synthetic N adds N made-up entries with every hash.
        --damage: cut (last third dropped), entity (a declared entity in the first name), nul (a NUL byte in
        it), deep (100,000 nested levels in the first game).
    gen.py tree ROOT [--crlf]
        every entry below ROOT, sorted: "dir/", "file  SIZE CRC", "link -> TARGET" (ROOT shown as
        "<trash>"), "fifo |"; program/QuorVBoy(.exe) left out. --crlf (Windows): the program's text files
        must have CR LF ends (else "NOT CR LF") and are measured with LF ones.
    gen.py tidy TRASH FILE... [--windows]
        in captured output the trash folder's path becomes "<trash>"; --windows first makes CR LF LF and
        "\\" "/" (so that "Z:\\tmp\\..." becomes "<trash>" too).
"""
import argparse
import hashlib
import os
import re
import stat
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
# Files whose content changes from run to run: listed by name only.
VOLATILE = {"VBoyUndo.txt"}
# The program's text files, with CR LF line ends on Windows.
TEXT_FILES = r"VBoy\w*\.txt|VBoyMiss\.dat|Quor_ZIP\.txt|VAvuDevo\.zid"


def catalogue():
    with open(os.path.join(HERE, "..", "..", "catalogue", "catalogue.cpp")) as f:
        return {m.group(2): int(m.group(1), 16) for m in re.finditer(r'"([0-9a-f]{8}) ([^"]+)",', f.read())}


def crc_of(what):
    if re.fullmatch(r"[0-9a-fA-F]{8}", what):
        return int(what, 16)
    entries = catalogue()
    if what not in entries:
        sys.exit("gen.py: no catalogue entry named %r" % what)
    return entries[what]


TABLE = []
for n in range(256):
    c = n
    for _ in range(8):
        c = 0xEDB88320 ^ (c >> 1) if c & 1 else c >> 1
    TABLE.append(c)
TOP = {c >> 24: n for n, c in enumerate(TABLE)}


def unfeed(after, byte):
    """The CRC register before byte was fed, given the register after it."""
    i = TOP[after >> 24]
    return ((after ^ TABLE[i]) << 8 & 0xFFFFFFFF) | ((i ^ byte) & 0xFF)


def image(what=None, size=8192, seed="", plain=False, mark=None, at=544):
    data = bytearray(hashlib.shake_128(str(seed).encode()).digest(size))
    if size >= 544 and (plain or mark is not None):
        data[size - 544:size - 509] = bytes(35)
        data[size - at:size - at + len(mark or "")] = (mark or "").encode()
    elif size >= 544:
        data[size - 544], data[size - 541] = ord("V"), ord("E")
    if what not in (None, "?") and size >= 4:
        # Feeding a 4-byte word w into register r is feeding 4 zero bytes into r ^ w.
        before = ~zlib.crc32(bytes(data[:-4])) & 0xFFFFFFFF
        after = ~crc_of(what) & 0xFFFFFFFF
        for _ in range(4):
            after = unfeed(after, 0)
        data[-4:] = struct.pack("<I", after ^ before)
    return bytes(data)


LOCAL = "signature:I versionNeeded:H flags:H method:H modTime:H modDate:H crc32:I compressedSize:I " \
        "uncompressedSize:I nameLength:H extraLength:H"
CENTRAL = "signature:I versionMadeBy:B hostSystem:B versionNeeded:B systemNeeded:B flags:H method:H modTime:H " \
          "modDate:H crc32:I compressedSize:I uncompressedSize:I nameLength:H extraLength:H commentLength:H " \
          "diskNumberStart:H internalAttributes:H externalAttributes:I localHeaderOffset:I"
END = "signature:I thisDisk:H directoryDisk:H entriesOnDisk:H totalEntries:H directorySize:I directoryOffset:I " \
      "commentLength:H"


def record(layout, values, prefix, sets):
    out = b""
    for field in layout.split():
        name, fmt = field.split(":")
        out += struct.pack("<" + fmt, sets.pop(prefix + "." + name, values.get(name, 0)))
    return out


def archive(args):
    sets = {}
    for s in args.set:
        key, value = s.split("=", 1)
        sets[key] = int(value, 0)
    locals_, centrals, offset = b"", b"", 0
    for i, member in enumerate(args.members):
        if "=" in member:
            name, what = member.split("=", 1)
            data = image(what, seed=name)
        else:
            name, text = member.split(":", 1)
            data = text.encode()
        method = 8 if args.deflate else 0
        packed = data
        if method == 8:
            z = zlib.compressobj(6, zlib.DEFLATED, -15)
            packed = z.compress(data) + z.flush()
        if i in args.garbage:
            packed = b"\xff" * 64
        v = dict(versionNeeded=20 if method else 10, method=method, modTime=0x6000, modDate=0x5021,
                 crc32=zlib.crc32(data), compressedSize=len(packed), uncompressedSize=len(data),
                 nameLength=len(name), versionMadeBy=20, externalAttributes=0x20, localHeaderOffset=offset)
        local = record(LOCAL, dict(v, signature=0x04034B50), "local%d" % i, sets) + name.encode() + packed
        centrals += record(CENTRAL, dict(v, signature=0x02014B50), "central%d" % i, sets) + name.encode()
        locals_ += local
        offset += len(local)
    count = len(args.members)
    end = record(END, dict(signature=0x06054B50, entriesOnDisk=count, totalEntries=count, directorySize=len(centrals),
                           directoryOffset=offset, commentLength=args.comment), "end", sets)
    if sets:
        sys.exit("gen.py: no such field: %s" % ", ".join(sets))
    data = locals_ + centrals + end + b"c" * args.comment
    return data[:len(data) - args.cut]


def dat(a):
    if a.format not in ("xml", "cmp") or a.damage not in (None, "cut", "entity", "nul", "deep"):
        sys.exit("gen.py: no such format or damage: %s, %s" % (a.format, a.damage))
    roms = []  # (game, rom name, fields in order)
    for entry in a.entries:
        name, _, fields = entry.partition("=")
        parts = fields.split("|") if fields else []
        f, game, ext = {}, name, ".vb"
        if parts and parts[0]:
            with open(parts[0], "rb") as img:
                data = img.read()
            f = dict(size=str(len(data)), crc="%08x" % zlib.crc32(data), md5=hashlib.md5(data).hexdigest(),
                     sha1=hashlib.sha1(data).hexdigest(), sha256=hashlib.sha256(data).hexdigest())
        elif not parts:
            f = dict(status="nodump")
        for opt in parts[1:]:
            key, _, value = opt.partition("=")
            if key.startswith("-"):
                f.pop(key[1:], None)
            elif key == "game":
                game = value
            elif key == "ext":
                ext = value
            else:
                f[key] = value
        roms.append((game, name + ext, f))
    for n in range(a.synthetic):
        h = hashlib.sha256(b"%d" % n).hexdigest()
        roms.append(("Image %06d (World)" % n, "Image %06d (World).vb" % n,
                     dict(size="1048576", crc=h[:8], md5=h[8:40], sha1=h[:40], sha256=h)))
    order = ["size", "crc", "md5", "sha1", "sha256", "status"]
    damage = a.damage
    if a.format == "xml":
        x = lambda t: t.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")
        out = ['<?xml version="1.0"?>',
               '<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" "datafile.dtd"'
               + (' [\n\t<!ENTITY e "Golf (U)">\n]' if damage == "entity" else "") + ">",
               "<datafile>", "\t<header>", "\t\t<name>%s</name>" % x(a.name),
               "\t\t<description>%s</description>" % x(a.name), "\t\t<version>%s</version>" % x(a.version),
               "\t</header>"]
        for i, (game, rom, f) in enumerate(roms):
            if i == 0 or roms[i - 1][0] != game:
                out += ['\t<game name="%s">' % x(game), "\t\t<description>%s</description>" % x(game)]
                if i == 0 and damage == "deep":
                    out.append("<x>" * 100000 + "</x>" * 100000)
            rom = "&e;.vb" if i == 0 and damage == "entity" else x(rom)
            out.append('\t\t<rom name="%s"%s/>' % (rom, "".join(' %s="%s"' % (k, x(f[k])) for k in order if k in f)))
            if i + 1 == len(roms) or roms[i + 1][0] != game:
                out.append("\t</game>")
        out.append("</datafile>")
    else:
        q = lambda t: '"%s"' % t
        out = ["clrmamepro (", "\tname %s" % q(a.name), "\tdescription %s" % q(a.name),
               "\tversion %s" % q(a.version), ")", ""]
        for i, (game, rom, f) in enumerate(roms):
            if i == 0 or roms[i - 1][0] != game:
                out += ["game (", "\tname %s" % q(game), "\tdescription %s" % q(game)]
                if i == 0 and damage == "deep":
                    out.append("x ( " * 100000 + ") " * 100000)
            fields = "".join(" %s %s" % (k, f[k].upper() if k in ("crc", "md5", "sha1") else f[k])
                             for k in order if k in f)
            out.append("\trom ( name %s%s )" % (q(rom), fields))
            if i + 1 == len(roms) or roms[i + 1][0] != game:
                out += [")", ""]
    data = "".join(line + "\n" for line in out).encode()
    if damage == "cut":
        data = data[:len(data) * 2 // 3]
    elif damage == "nul":
        at = data.find(b".vb") - 1
        data = data[:at] + b"\0" + data[at:]
    return data


def tree(root, crlf):
    lines = []

    def walk(dir, rel):
        for entry in sorted(os.scandir(dir), key=lambda e: e.name):
            path = rel + entry.name
            st = os.lstat(entry.path)
            if stat.S_ISLNK(st.st_mode):
                lines.append("%s -> %s" % (path, os.readlink(entry.path).replace(root, "<trash>")))
            elif stat.S_ISDIR(st.st_mode):
                lines.append(path + "/")
                walk(entry.path, path + "/")
            elif stat.S_ISFIFO(st.st_mode):
                lines.append(path + " |")
            elif path in ("program/QuorVBoy", "program/QuorVBoy.exe"):
                continue
            elif entry.name in VOLATILE:
                lines.append(path + "  (changes from run to run)")
            elif st.st_size > 64 << 20:
                lines.append("%s  %d (not read)" % (path, st.st_size))
            else:
                with open(entry.path, "rb") as f:
                    data = f.read()
                mark = ""
                if crlf and re.fullmatch(TEXT_FILES, entry.name):
                    mark = "  NOT CR LF" if re.search(b"(^|[^\r])\n", data) else ""
                    data = data.replace(b"\r\n", b"\n")
                lines.append("%s  %d %08x%s" % (path, len(data), zlib.crc32(data), mark))

    walk(root, "")
    return "".join(line + "\n" for line in lines)


def main():
    p = argparse.ArgumentParser(description="synthetic inputs for the command-line cases")
    sub = p.add_subparsers(dest="command", required=True)
    # Each command's arguments: "name" one, "name?" one or none, "name*" any number, "name+" at least one;
    # an option's default gives its kind: a number, a text (None), a flag (False), a repeated one ([its type]).
    for command, arguments, options in (
            ("image", "file what?", dict(size=8192, seed=None, plain=False, mark=None, at=544)),
            ("zip", "file members*", dict(deflate=False, garbage=[int], set=[str], cut=0, comment=0)),
            ("db", "file whats*", dict(system=19)),
            ("dat", "file entries*", dict(format="xml", name="Nintendo - Virtual Boy", version="20250101-000000",
                                          damage=None, synthetic=0)),
            ("tree", "root", dict(crlf=False)),
            ("tidy", "trash files+", dict(windows=False))):
        c = sub.add_parser(command)
        for argument in arguments.split():
            c.add_argument(argument.rstrip("?*+"), nargs=argument[-1] if argument[-1] in "?*+" else None)
        for option, default in options.items():
            if default is False:
                c.add_argument("--" + option, action="store_true")
            elif isinstance(default, list):
                c.add_argument("--" + option, action="append", default=[], type=default[0])
            else:
                c.add_argument("--" + option, default=default, type=type(default) if default is not None else str)
    a = p.parse_args()

    if a.command == "tree":
        sys.stdout.write(tree(a.root, a.crlf))
        return
    if a.command == "tidy":
        trash = a.trash.encode()
        for name in a.files:
            with open(name, "rb") as f:
                text = f.read()
            if a.windows:
                text = text.replace(b"\r\n", b"\n").replace(b"\\", b"/").replace(b"Z:" + trash, b"<trash>")
            with open(name, "wb") as f:
                f.write(text.replace(trash, b"<trash>"))
        return
    if a.command == "image":
        data = image(a.what, a.size, a.seed or os.path.basename(a.file), a.plain, a.mark, a.at)
    elif a.command == "zip":
        data = archive(a)
    elif a.command == "dat":
        data = dat(a)
    else:
        data = b"QUOR" + b"".join(struct.pack(">I", v) for v in [a.system] + [crc_of(w) for w in a.whats])
    os.makedirs(os.path.dirname(a.file) or ".", exist_ok=True)
    with open(a.file, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
