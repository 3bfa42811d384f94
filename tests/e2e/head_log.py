"""A record file held against the simulated head's own log (`sk720 headsim --log`).

The head logs every record it produces (index, angle, length, its checksum, and "corrupted" when
one byte was changed on the way). The file holds the records the program kept, each header widened
to 44 bytes; with a head that sends 36-byte headers the record as sent can be rebuilt exactly and
its checksum looked up. The file is walked in step with the log: each record is matched to the
first entry at or after the one the previous record matched, so records that happen to be byte
for byte alike (the scene repeats) are told apart by their place.
"""
import bisect
import struct
import zlib


def read_log(path):
    """The log's entries in order: (index, angle, length, checksum, corrupted)."""
    with open(path) as f:
        return [(int(w[0]), int(w[1]), int(w[2]), int(w[3], 16), len(w) > 4)
                for w in (line.split() for line in f if not line.startswith("#")) if w]


def sent_checksums(data):
    """(checksums of the file's records as a 36-byte-header head sent them, problems)."""
    sums, problems, pos = [], [], 0
    while pos + 44 <= len(data):
        magic, header_size, _, samples = struct.unpack_from("<4I", data, pos)
        if magic != 0x41544144 or header_size != 44 or samples < 52 or pos + samples > len(data):
            problems.append("bad record in the file at byte %d" % pos)
            return sums, problems
        sent = bytearray(data[pos:pos + 36]) + data[pos + 44:pos + samples]
        sent[4:8], sent[12:16] = struct.pack("<I", 36), struct.pack("<I", samples - 8)
        sums.append(~zlib.crc32(bytes(sent)) & 0xFFFFFFFF)  # the head's sum: no final inversion
        pos += samples
    if pos != len(data):
        problems.append("%d trailing bytes after the last whole record" % (len(data) - pos))
    return sums, problems


def match(log, sums):
    """Log position of each file record (None: not at or after the previous match), and how many
    of the unmatched ones the log holds only earlier (records out of order)."""
    places = {}
    for i, entry in enumerate(log):
        places.setdefault(entry[3], []).append(i)
    out, after, behind = [], 0, 0
    for s in sums:
        positions = places.get(s, [])
        k = bisect.bisect_left(positions, after)
        if k < len(positions):
            out.append(positions[k])
            after = positions[k] + 1
        else:
            out.append(None)
            behind += 1 if positions else 0
    return out, behind


def verify(log, data, from_start=False):
    """(problems, figures) of a record file against the head's log entries. Intact entries from
    the first matched one (from the log's start with from_start) to the last matched one that the
    file lacks are listed in figures["missing"], those right after a damaged record also in
    figures["after_damage"] (the caller judges them); figures["places"] is each record's log
    position, and the counts are those scripts/soak and soak-win report."""
    sums, problems = sent_checksums(data)
    places, behind = match(log, sums)
    matched = [p for p in places if p is not None and not log[p][4]]
    kept = sum(1 for p in places if p is not None and log[p][4])
    unknown = sum(1 for p in places if p is None)
    corrupted = sum(1 for e in log if e[4])
    # A record damaged in its header cannot be rebuilt as sent: only damaged records may stay
    # unmatched, and none may come back from before its predecessor.
    if behind:
        problems.append("%d records out of order" % behind)
    if unknown - behind > corrupted - kept:
        problems.append("%d records the head never sent" % (unknown - behind))
    have = set(matched)
    first, last = 0 if from_start else min(matched, default=0), max(matched, default=-1)
    # By the head's index: a dropped record leaves a gap in it, which is no damage.
    gaps = [i for i in range(first, last + 1) if not log[i][4] and i not in have]
    return problems, {"missing": [log[i][0] for i in gaps], "places": places, "last": last,
                      "after_damage": [log[i][0] for i in gaps if i > 0 and log[i - 1][4]],
                      "sent": len(log), "corrupted": corrupted, "matched": len(matched),
                      "kept": kept, "unknown": unknown}
