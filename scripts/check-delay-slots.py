#!/usr/bin/env python3
"""Checks the delay-load imports of Windows programs, statically:

  check-delay-slots.py PROGRAM.exe...

Every slot of every delay-loaded DLL must point, until the program's first
call through it, at its own load stub: code that hands that very slot to the
delay-load helper (i386: mov $slot, %eax; jmp; x86-64: lea slot(%rip), %rax;
jmp). A slot of 0, or one that points anywhere else, crashes the program at
that first call. MinGW's linker fills no delay-import directory, so the
delay descriptors are found by their shape. Exits 1 when a program has a bad
slot or no delay-loaded DLL at all.
"""
import re
import struct
import sys

EXECUTABLE = 0x20000000


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        machine, sections = struct.unpack_from("<HH", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.wide = magic == 0x20B
        self.machine = machine
        self.base = struct.unpack_from("<Q" if self.wide else "<I", data,
                                       optional + (24 if self.wide else 28))[0]
        self.sections = []
        at = optional + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw_at = struct.unpack_from("<8sIIII", data, at + 40 * i)
            flags = struct.unpack_from("<I", data, at + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode(errors="replace"), rva,
                                  max(vsize, raw_size), raw_at, raw_size, flags))

    def section_of(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + section[2]:
                return section
        return None

    def read(self, rva, size):
        section = self.section_of(rva)
        if not section:
            return None
        offset = rva - section[1]
        if offset + size > section[4]:
            return bytes(size)  # uninitialised data reads as zeros
        return self.data[section[3] + offset:section[3] + offset + size]

    def word(self, rva):
        raw = self.read(rva, 8 if self.wide else 4)
        return None if raw is None else struct.unpack("<Q" if self.wide else "<I", raw)[0]

    def executable(self, rva):
        section = self.section_of(rva)
        return bool(section and section[5] & EXECUTABLE)

    def text(self, rva):
        raw = self.read(rva, 64)
        if not raw or b"\0" not in raw:
            return None
        return raw[:raw.index(b"\0")].decode("ascii", errors="replace")

    def delay_descriptors(self):
        """(dll name, IAT rva, INT rva) of every delay descriptor: attributes
        1 (addresses are RVAs), a DLL name, no bound or unload table."""
        found = []
        for _, rva, size, raw_at, raw_size, _ in self.sections:
            for offset in range(0, min(size, raw_size) - 31, 4):
                attrs, name, hmod, iat, names, bound, unload, stamp = struct.unpack_from(
                    "<8I", self.data, raw_at + offset)
                if attrs != 1 or bound or unload or stamp or not (name and hmod and iat and names):
                    continue
                dll = self.text(name)
                if dll and re.fullmatch(r"[A-Za-z0-9_.-]+\.dll", dll, re.I):
                    found.append((dll, iat, names))
        return found

    def stub_loads(self, stub, slot):
        """True when the code at `stub` hands `slot` on and jumps."""
        if self.wide:
            code = self.read(stub, 12)
            if not code or code[:3] != b"\x48\x8d\x05" or code[7] != 0xE9:
                return False
            return stub + 7 + struct.unpack_from("<i", code, 3)[0] == slot
        code = self.read(stub, 10)
        if not code or code[0] != 0xB8 or code[5] != 0xE9:
            return False
        return struct.unpack_from("<I", code, 1)[0] == self.base + slot


def check(path):
    image = Image(open(path, "rb").read())
    descriptors = image.delay_descriptors()
    if not descriptors:
        return ["%s: no delay-loaded DLL found" % path]
    faults = []
    size = 8 if image.wide else 4
    for dll, iat, names in descriptors:
        index = 0
        while True:
            entry = image.word(names + index * size)
            if not entry:
                break
            ordinal = entry >> (63 if image.wide else 31)
            function = "#%d" % (entry & 0xFFFF) if ordinal else image.text(entry + 2)
            slot = iat + index * size
            value = image.word(slot)
            where = "%s: %s!%s (slot at %#x)" % (path, dll, function, image.base + slot)
            if not value:
                faults.append("%s is 0" % where)
            elif not image.executable(value - image.base):
                faults.append("%s points at %#x, outside the code" % (where, value))
            elif not image.stub_loads(value - image.base, slot):
                faults.append("%s points at %#x, which is not its load stub" % (where, value))
            index += 1
        print("%s: %s: %d delay-loaded functions" % (path, dll, index))
    return faults


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    faults = []
    for path in sys.argv[1:]:
        faults += check(path)
    for fault in faults:
        print(fault, file=sys.stderr)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
