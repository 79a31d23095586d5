#!/usr/bin/env python3
"""Points a 32-bit PE's load-configuration directory at `_load_config_used`.

vantor.exe defines `_load_config_used` (platform/win32/load_config.c): a load
configuration whose DependentLoadFlags tell the Windows loader (Windows 10
1607 and later) to look for the program's imported DLLs in the system folder
only, never in the program's own folder. A linker that knows the symbol fills
data directory 10 (IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG) with it; Debian 12's
mingw-w64 linker (binutils 2.40) leaves that entry empty, and the loader then
never sees the structure. This tool does the linker's part after the link:

  pe_load_config.py set EXE     find `_load_config_used` in EXE's COFF symbol
                                table (so: before stripping), check that it
                                holds the flag, write the directory entry and
                                recompute the PE checksum
  pe_load_config.py check EXE   exit 0 when EXE's load configuration asks for
                                LOAD_LIBRARY_SEARCH_SYSTEM32, 1 otherwise (and
                                say why); works on stripped and signed files

`strip` keeps the directory entry, so the build runs `set`, then strips. A
signature covers the checksum and the directory: sign after `set`.

The product is a 32-bit image (PE32, i386); the 64-bit test build (PE32+,
x86-64, never released) carries the same flag and is handled the same way.
"""
import struct
import sys

LOAD_CONFIG_ENTRY = 10                     # IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
# Per image kind: machine, optional-header magic, offset of the data
# directories in the optional header, offset of DependentLoadFlags in the
# load configuration, its size up to SecurityCookie, and the C name
# `_load_config_used` as the symbol table spells it.
KINDS = {
    "PE32": (0x14C, 0x10B, 96, 0x36, 0x40, b"__load_config_used"),   # i386: leading underscore
    "PE32+": (0x8664, 0x20B, 112, 0x4E, 0x60, b"_load_config_used"),  # x86-64: none
}


class PeError(Exception):
    pass


class Pe:
    """The parts of a PE32 image this tool reads and writes."""

    def __init__(self, data):
        self.data = bytearray(data)
        if self.data[:2] != b"MZ":
            raise PeError("not an MZ executable")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe + 4
        (machine, sections, _, self.symtab, self.nsyms, opt_size, _) = struct.unpack_from(
            "<HHIIIHH", self.data, coff)
        self.opt = coff + 20
        magic = struct.unpack_from("<H", self.data, self.opt)[0]
        for kind, (want_machine, want_magic, directories, flags_at, min_size, symbol) in KINDS.items():
            if (machine, magic) == (want_machine, want_magic):
                break
        else:
            raise PeError("neither a PE32 i386 nor a PE32+ x86-64 image")
        self.kind, self.flags_at, self.min_size, self.symbol = kind, flags_at, min_size, symbol
        self.checksum_at = self.opt + 64
        count = struct.unpack_from("<I", self.data, self.opt + directories - 4)[0]
        if count <= LOAD_CONFIG_ENTRY:
            raise PeError("the optional header has no load-configuration entry")
        self.directory_at = self.opt + directories + 8 * LOAD_CONFIG_ENTRY
        self.sections = []
        for i in range(sections):
            at = self.opt + opt_size + 40 * i
            vsize, va, raw_size, raw_at = struct.unpack_from("<IIII", self.data, at + 8)
            self.sections.append((va, max(vsize, raw_size), raw_at, raw_size))

    def offset_of(self, rva, length):
        """File offset of `length` bytes at `rva`, all inside one section's file data."""
        for va, _, raw_at, raw_size in self.sections:
            if va <= rva and rva + length <= va + raw_size:
                return raw_at + rva - va
        raise PeError("RVA 0x%x is not in the file data of any section" % rva)

    def symbol_rva(self, wanted):
        """RVA of a symbol of the COFF symbol table (absent once stripped)."""
        if self.symtab == 0 or self.nsyms == 0:
            raise PeError("no symbol table: run `set` before stripping")
        strings = self.symtab + 18 * self.nsyms
        i = 0
        while i < self.nsyms:
            at = self.symtab + 18 * i
            raw_name, value, section, _, _, aux = struct.unpack_from("<8sIhHBB", self.data, at)
            if raw_name[:4] == b"\0\0\0\0":
                start = strings + struct.unpack_from("<I", raw_name, 4)[0]
                name = bytes(self.data[start:self.data.index(b"\0", start)])
            else:
                name = raw_name.rstrip(b"\0")
            if name == wanted and 0 < section <= len(self.sections):
                # Value is the offset in its section (1-based section number).
                return self.sections[section - 1][0] + value
            i += 1 + aux
        raise PeError("symbol %s not found" % wanted.decode())

    def load_config(self):
        """(rva, size, DependentLoadFlags) from the directory entry, or None when empty."""
        rva, dir_size = struct.unpack_from("<II", self.data, self.directory_at)
        if rva == 0 or dir_size == 0:
            return None
        at = self.offset_of(rva, self.min_size)
        size = struct.unpack_from("<I", self.data, at)[0]
        flags = struct.unpack_from("<H", self.data, at + self.flags_at)[0]
        return rva, size, flags

    def update_checksum(self):
        """The PE checksum: 16-bit one's-complement-style sum of the file with the
        checksum field taken as zero, folded, plus the file's length."""
        struct.pack_into("<I", self.data, self.checksum_at, 0)
        data = bytes(self.data) + (b"\0" if len(self.data) % 2 else b"")
        total = sum(struct.unpack("<%dH" % (len(data) // 2), data))
        while total >> 16:
            total = (total & 0xFFFF) + (total >> 16)
        struct.pack_into("<I", self.data, self.checksum_at, total + len(self.data))


def set_directory(path):
    with open(path, "rb") as f:
        pe = Pe(f.read())
    rva = pe.symbol_rva(pe.symbol)
    at = pe.offset_of(rva, pe.min_size)
    size = struct.unpack_from("<I", pe.data, at)[0]
    flags = struct.unpack_from("<H", pe.data, at + pe.flags_at)[0]
    if size < pe.min_size or not flags & LOAD_LIBRARY_SEARCH_SYSTEM32:
        raise PeError("_load_config_used has Size 0x%x and DependentLoadFlags 0x%x" % (size, flags))
    struct.pack_into("<II", pe.data, pe.directory_at, rva, size)
    pe.update_checksum()
    with open(path, "wb") as f:
        f.write(pe.data)
    print("%s (%s): load configuration at RVA 0x%x, %d bytes, DependentLoadFlags 0x%x"
          % (path, pe.kind, rva, size, flags))


def check(path):
    with open(path, "rb") as f:
        pe = Pe(f.read())
    found = pe.load_config()
    if found is None:
        raise PeError("the load-configuration directory is empty")
    rva, size, flags = found
    if size < pe.min_size:
        raise PeError("the load configuration is %d bytes, too short for DependentLoadFlags" % size)
    if not flags & LOAD_LIBRARY_SEARCH_SYSTEM32:
        raise PeError("DependentLoadFlags is 0x%x, without LOAD_LIBRARY_SEARCH_SYSTEM32" % flags)
    print("%s (%s): DependentLoadFlags 0x%x (load configuration at RVA 0x%x, %d bytes)"
          % (path, pe.kind, flags, rva, size))


def main(argv):
    if len(argv) != 3 or argv[1] not in ("set", "check"):
        print("usage: pe_load_config.py set|check EXE", file=sys.stderr)
        return 2
    try:
        (set_directory if argv[1] == "set" else check)(argv[2])
    except (PeError, OSError, struct.error) as e:
        print("%s: %s" % (argv[2], e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
