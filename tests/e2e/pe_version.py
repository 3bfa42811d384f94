"""Reads the version resource of a Windows executable: the fixed file version and the strings of
its first string table, straight from the PE file's resource section."""
import struct


class NotVersioned(Exception):
    pass


def _resource_section(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotVersioned("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rva, size = struct.unpack_from("<II", data, directories + 2 * 8)
    if not rva:
        raise NotVersioned("no resources")
    table = optional + optional_size
    for i in range(sections):
        vsize, vaddr, raw_size, raw = struct.unpack_from("<IIII", data, table + i * 40 + 8)
        if vaddr <= rva < vaddr + max(vsize, raw_size):
            # The directory's file offset, and what turns an RVA in the section into one.
            return raw + (rva - vaddr), vaddr - raw
    raise NotVersioned("resource directory outside every section")


def _first_entry(data, base, offset, wanted=None):
    """Offset (relative to base) that the first entry (or the entry with id `wanted`) points at."""
    named, ids = struct.unpack_from("<HH", data, base + offset + 12)
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, base + offset + 16 + i * 8)
        if wanted is None or (not name & 0x80000000 and name == wanted):
            return target
    raise NotVersioned("no version resource")


def _node(block, offset):
    """(key, value bytes, children) of one version-information node."""
    length, value_length, kind = struct.unpack_from("<HHH", block, offset)
    end = offset + length
    pos = offset + 6
    key_end = pos
    while block[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = block[pos:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    size = value_length * 2 if kind == 1 else value_length
    value = block[pos:pos + size]
    pos = (pos + size + 3) & ~3
    children = []
    while pos < end:
        child = _node(block, pos)
        children.append(child[:3])
        pos = (pos + child[3] + 3) & ~3
    return key, value, children, length


def read(path):
    """{"FileVersion": (major, minor, patch, build), "ProductVersion": (...), and every string
    of the first string table by name}."""
    with open(path, "rb") as f:
        data = f.read()
    base, rva_delta = _resource_section(data)
    level = _first_entry(data, base, 0, wanted=16)  # RT_VERSION
    level = _first_entry(data, base, level & 0x7FFFFFFF)
    leaf = _first_entry(data, base, level & 0x7FFFFFFF)
    if leaf & 0x80000000:
        raise NotVersioned("malformed resource tree")
    data_rva, size = struct.unpack_from("<II", data, base + leaf)
    start = data_rva - rva_delta
    key, fixed, children, _ = _node(data[start:start + size], 0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed, 0)[0] != 0xFEEF04BD:
        raise NotVersioned("not a version resource")
    ms, ls, pms, pls = struct.unpack_from("<IIII", fixed, 8)
    out = {"FileVersion": (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF),
           "ProductVersion": (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF)}
    for name, _, tables in children:
        if name == "StringFileInfo" and tables:
            for string, value, _ in tables[0][2]:
                out["String:" + string] = value.decode("utf-16-le").rstrip("\0")
    return out
