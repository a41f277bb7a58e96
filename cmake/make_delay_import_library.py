#!/usr/bin/env python3
"""Writes a delay-load import library of one DLL, with every function of
MinGW's ordinary import library of it. Run by cmake/delay_load.cmake:

  make_delay_import_library.py --nm NM --dlltool DLLTOOL --ar AR \
      --machine i386|x86-64 IMPORT_LIB DLL OUT

dlltool writes the library's head (the delay descriptor and the code that
calls the delay-load helper) and its tail. Its member for each function keeps
the load stub, which the function's slot points at until the first call, in
the same section as the function's jump thunk. GNU ld drops the thunk section
of an import member when nothing calls the thunk by name, and code compiled
with dllimport never does: in a 32-bit link the slot then pointed at 0. So
each function's member is written here instead, as a COFF object with the
load stub in a section of its own.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

# COFF section flags: code, or data that is read and written, 4- or 2-byte aligned.
CODE = 0x60300020
DATA4 = 0xC0300000
DATA2 = 0xC0200000

MACHINES = {
    # machine number, slot size, relocation types: absolute, image-relative, pc-relative.
    "i386": (0x14C, 4, {"abs": 6, "rva": 7, "rel": 20}),
    "x86-64": (0x8664, 8, {"abs": 1, "rva": 3, "rel": 4}),
}


class Coff:
    """A small relocatable COFF object: sections, symbols and relocations."""

    def __init__(self, machine):
        self.machine = machine
        self.sections = []  # [name, data, flags, relocations]
        self.symbols = []  # (name, value, section number, type, class)

    def section(self, name, data, flags):
        self.sections.append([name, data, flags, []])
        number = len(self.sections)
        self.symbols.append((name, 0, number, 0, 3))  # its section symbol
        return number, len(self.symbols) - 1

    def symbol(self, name, section=0, function=False):
        self.symbols.append((name, 0, section, 0x20 if function else 0, 2))
        return len(self.symbols) - 1

    def relocate(self, section, offset, symbol, kind):
        self.sections[section - 1][3].append((offset, symbol, kind))

    def bytes(self):
        strings = bytearray(4)

        def name_field(name, section):
            raw = name.encode()
            if len(raw) <= 8:
                return raw.ljust(8, b"\0")
            offset = len(strings)
            strings.extend(raw + b"\0")
            if section:
                return ("/%d" % offset).encode().ljust(8, b"\0")
            return struct.pack("<II", 0, offset)

        position = 20 + 40 * len(self.sections)
        headers = bytearray()
        body = bytearray()
        for name, data, flags, relocations in self.sections:
            data_at = position + len(body) if data else 0
            body.extend(data)
            reloc_at = position + len(body) if relocations else 0
            for offset, symbol, kind in relocations:
                body.extend(struct.pack("<IIH", offset, symbol, kind))
            headers.extend(name_field(name, True))
            headers.extend(struct.pack("<IIIIIIHHI", 0, 0, len(data), data_at, reloc_at, 0,
                                       len(relocations), 0, flags))
        table = bytearray()
        for name, value, section, kind, storage in self.symbols:
            table.extend(name_field(name, False))
            table.extend(struct.pack("<IhHBB", value, section, kind, storage, 0))
        struct.pack_into("<I", strings, 0, len(strings))
        header = struct.pack("<HHIIIHH", self.machine, len(self.sections), 0,
                             position + len(body), len(self.symbols), 0, 0)
        return header + headers + body + table + strings


def function_member(machine, symbol, name, tail_merge):
    number, slot_size, kinds = MACHINES[machine]
    coff = Coff(number)
    imp = "__imp_" + symbol
    # The symbols' indexes follow from the order they are added in.
    text, _ = coff.section(".text", b"\xff\x25\0\0\0\0", CODE)
    if machine == "i386":
        stub_code = b"\xb8\0\0\0\0\xe9\0\0\0\0\x90\x90"  # mov $slot, %eax; jmp tail
        slot_field, jump_field = 1, 6
    else:
        stub_code = b"\x48\x8d\x05\0\0\0\0\xe9\0\0\0\0"  # lea slot(%rip), %rax; jmp tail
        slot_field, jump_field = 3, 8
    stub, stub_symbol = coff.section(".text$qd", stub_code, CODE)
    slot, _ = coff.section(".idata$5", bytes(slot_size), DATA4)
    lookup, _ = coff.section(".idata$4", bytes(slot_size), DATA4)
    hint_name = b"\0\0" + name.encode() + b"\0"
    if len(hint_name) % 2:
        hint_name += b"\0"
    _, names_symbol = coff.section(".idata$6", hint_name, DATA2)
    coff.symbol(symbol, text, function=True)
    imp_symbol = coff.symbol(imp, slot)
    tail_symbol = coff.symbol(tail_merge, function=True)
    # The thunk jumps through the slot; the stub hands the slot to the tail.
    coff.relocate(text, 2, imp_symbol, kinds["abs" if machine == "i386" else "rel"])
    coff.relocate(stub, slot_field, imp_symbol, kinds["abs" if machine == "i386" else "rel"])
    coff.relocate(stub, jump_field, tail_symbol, kinds["rel"])
    # Until the first call the slot points at the stub; the lookup entry at the name.
    coff.relocate(slot, 0, stub_symbol, kinds["abs"])
    coff.relocate(lookup, 0, names_symbol, kinds["rva"])
    return coff.bytes()


def run(*command, cwd=None):
    return subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.PIPE,
                          universal_newlines=True).stdout


def main():
    parser = argparse.ArgumentParser()
    for tool in ("--nm", "--dlltool", "--ar"):
        parser.add_argument(tool, required=True)
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("import_lib")
    parser.add_argument("dll")
    parser.add_argument("out")
    args = parser.parse_args()

    # A function has a code thunk (type T); a data export has none and stays
    # out, so a use of one fails to link instead of being loaded late.
    listing = run(args.nm, "--extern-only", "--defined-only", args.import_lib)
    symbols = sorted(set(re.findall(r"^[0-9a-f]+ T (\S+)$", listing, re.M)))
    if not symbols:
        sys.exit("%s has no functions" % args.import_lib)
    functions = []
    for symbol in symbols:
        name = symbol
        if args.machine == "i386":
            # 32-bit C names carry a leading underscore and stdcall ones an @N
            # suffix; the DLL exports the bare name.
            name = re.sub(r"@\d+$", "", re.sub(r"^_", "", name))
        functions.append((symbol, name))

    out_name = os.path.basename(args.out)
    # dlltool names the library's symbols and members after the output name.
    stem = re.sub(r"[^A-Za-z0-9_]", "_", out_name)
    with tempfile.TemporaryDirectory(dir=os.path.dirname(os.path.abspath(args.out))) as work:
        # The head and tail do not depend on the functions, and dlltool starts
        # the assembler once for each function it is given: it gets one.
        with open(os.path.join(work, "exports.def"), "w") as definition:
            definition.write("LIBRARY %s\nEXPORTS\n%s\n" % (args.dll, functions[0][1]))
        run(args.dlltool, "--input-def", "exports.def", "--dllname", args.dll,
            "--output-delaylib", out_name, cwd=work)
        head, tail = stem + "_h.o", stem + "_t.o"
        run(args.ar, "x", out_name, head, tail, cwd=work)
        merge = re.findall(r" T (\S*tailMerge\S*)$", run(args.nm, "--defined-only", head, cwd=work),
                           re.M)
        if len(merge) != 1:
            sys.exit("dlltool's head of %s has no tail-merge code" % args.dll)
        # Member names sort between the head's and the tail's, which orders the
        # slots and names between their starts and their terminators.
        members = [head]
        for index, (symbol, name) in enumerate(functions):
            member = "%s_s%05d.o" % (stem, index)
            with open(os.path.join(work, member), "wb") as out:
                out.write(function_member(args.machine, symbol, name, merge[0]))
            members.append(member)
        members.append(tail)
        os.remove(os.path.join(work, out_name))
        run(args.ar, "rcs", out_name, *members, cwd=work)
        shutil.move(os.path.join(work, out_name), args.out)


if __name__ == "__main__":
    main()
