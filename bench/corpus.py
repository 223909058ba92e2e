#!/usr/bin/env python3
"""Makes the benchmark's corpora from the camera samples' EXIF blocks.

card DIR:   500 pictures DSC_0001.JPG .. of about 4 MB (the sample's own JPEG,
            its EXIF dates rewritten, then filler after the end of the image up
            to camera size), every third with a DSC_nnnn.NEF companion; capture
            times distinct, except a few bursts within one second.
rescan DIR: 10,000 pictures at the samples' own size that already bear their
            stamp names (distinct times), so a scan renames nothing.
big N DIR:  a big folder: DIR/camera holds N pictures DSC_0001.JPG .. of about
            150 KB with distinct capture times, DIR/named the same files (hard
            links) under their stamp names, DIR/landing 5 more pictures taken
            later, to land in it one by one.
undated DIR: DIR/folder holds 1,000 pictures without EXIF (the samples' JPEGs
            with their APP1 segments taken out), DIR/landing 100 dated
            pictures of about 150 KB to land among them.
companions DIR: the same 500 pictures of about 4 MB twice (hard links):
            DIR/four with one companion each, of four kinds in turn (a Nikon
            .NEF, a Canon .CR2 or a Sony .ARW, a Canon .CR3, an .xmp sidecar),
            DIR/nef with a .NEF each; the TIFF-based raws bear their picture's
            capture time in their header.
heic DIR:   500 phone pictures IMG_0001.HEIC .. of 2 to 3 MB, laid out as a
            phone writes them (file type, meta box, then the image data), their
            Exif item dated, capture times distinct.
heic-late DIR: the same pictures with the meta box after the image data (file
            type, mdat, meta), as Samsung phones write them.
videos DIR: 500 phone videos VID_0001.MP4 .. of 1 GiB each, sparse: the file
            type box and the media data box's header are written, then the
            movie box at the end (its header, two tracks with the sample tables
            of a minute-long clip, Apple's metadata with the creation date);
            the media data between them is a hole. Capture times distinct.
Prints the number of pictures made.
"""
import os
import struct
import sys
from datetime import datetime, timedelta

SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared",
                       "exif-samples")
DATE_TAGS = (0x0132, 0x9003, 0x9004)
CAMERA_SIZE = 4 * 1024 * 1024
BIG_FOLDER_SIZE = 150 * 1024
COMPANION_SIZE = 64 * 1024
BASE_TIME = datetime(2024, 6, 15, 8, 0, 0)


def exif_segment(jpeg):
    """(start, end) of the APP1 Exif segment's TIFF data, or None."""
    at = 2
    while at + 4 <= len(jpeg) and jpeg[at] == 0xFF:
        marker = jpeg[at + 1]
        if marker in (0xD9, 0xDA):
            return None
        length = struct.unpack(">H", jpeg[at + 2:at + 4])[0]
        body = at + 4
        if marker == 0xE1 and jpeg[body:body + 6] == b"Exif\0\0":
            return body + 6, at + 2 + length
        at += 2 + length
    return None


def date_offsets(jpeg):
    """{tag: absolute offset of its 19 date characters} for the date tags."""
    segment = exif_segment(jpeg)
    if not segment:
        return {}
    start, end = segment
    tiff = jpeg[start:end]
    order = "<" if tiff[:2] == b"II" else ">"
    found = {}

    def walk(ifd):
        if ifd + 2 > len(tiff):
            return None
        count = struct.unpack(order + "H", tiff[ifd:ifd + 2])[0]
        sub = None
        for index in range(count):
            entry = ifd + 2 + 12 * index
            if entry + 12 > len(tiff):
                break
            tag, kind, items = struct.unpack(order + "HHI", tiff[entry:entry + 8])
            value = struct.unpack(order + "I", tiff[entry + 8:entry + 12])[0]
            if tag in DATE_TAGS and kind == 2 and items >= 20 and value + 19 <= len(tiff):
                found[tag] = start + value
            if tag == 0x8769:
                sub = value
        return sub

    sub = walk(struct.unpack(order + "I", tiff[4:8])[0])
    if sub:
        walk(sub)
    return found


def usable_samples():
    """The samples whose dates can be rewritten and that carry DateTimeOriginal,
    which the peers read."""
    samples = []
    for folder in (SAMPLES, os.path.join(SAMPLES, "gps")):
        for name in sorted(os.listdir(folder)):
            if not name.lower().endswith(".jpg"):
                continue
            with open(os.path.join(folder, name), "rb") as file:
                jpeg = file.read()
            offsets = date_offsets(jpeg)
            if 0x9003 in offsets:
                samples.append((jpeg, offsets))
    return samples


def dated(sample, moment):
    jpeg, offsets = sample
    data = bytearray(jpeg)
    text = moment.strftime("%Y:%m:%d %H:%M:%S").encode()
    for offset in offsets.values():
        data[offset:offset + 19] = text
    return data


def card_times(count):
    """Three seconds apart, except bursts of 3, 4 and 2 pictures in one second."""
    bursts = {101: 100, 102: 100, 251: 250, 252: 250, 253: 250, 401: 400}
    return [BASE_TIME + timedelta(seconds=3 * bursts.get(index, index)) for index in range(count)]


def make_card(folder, samples, count=500):
    filler = os.urandom(CAMERA_SIZE)
    for index, moment in enumerate(card_times(count)):
        data = dated(samples[index % len(samples)], moment)
        name = "DSC_%04d" % (index + 1)
        with open(os.path.join(folder, name + ".JPG"), "wb") as file:
            file.write(data)
            file.write(filler[:CAMERA_SIZE - len(data)])
        if index % 3 == 0:
            with open(os.path.join(folder, name + ".NEF"), "wb") as file:
                file.write(filler[:COMPANION_SIZE])
    return count


def make_rescan(folder, samples, count=10000):
    for index in range(count):
        moment = BASE_TIME + timedelta(seconds=2 * index)
        data = dated(samples[index % len(samples)], moment)
        with open(os.path.join(folder, moment.strftime("%Y%m%d_%H%M%S.jpg")), "wb") as file:
            file.write(data)
    return count


def write_padded(path, data, size, filler):
    with open(path, "wb") as file:
        file.write(data)
        file.write(filler[:max(0, size - len(data))])


def make_dated(folder, samples, moments, name_format, filler):
    os.makedirs(folder, exist_ok=True)
    for index, moment in enumerate(moments):
        write_padded(os.path.join(folder, name_format % (index + 1)),
                     dated(samples[index % len(samples)], moment), BIG_FOLDER_SIZE, filler)


def make_big(folder, samples, count):
    filler = os.urandom(BIG_FOLDER_SIZE)
    moments = [BASE_TIME + timedelta(seconds=2 * index) for index in range(count)]
    camera, named = os.path.join(folder, "camera"), os.path.join(folder, "named")
    make_dated(camera, samples, moments, "DSC_%04d.JPG", filler)
    os.makedirs(named, exist_ok=True)
    for index, moment in enumerate(moments):
        os.link(os.path.join(camera, "DSC_%04d.JPG" % (index + 1)),
                os.path.join(named, moment.strftime("%Y%m%d_%H%M%S.JPG")))
    later = BASE_TIME + timedelta(days=1)
    make_dated(os.path.join(folder, "landing"), samples,
               [later + timedelta(seconds=2 * index) for index in range(5)], "LND_%04d.JPG",
               filler)
    return count


def without_exif(jpeg):
    """The JPEG with its APP1 segments taken out: a picture with no date to read."""
    out, at = bytearray(jpeg[:2]), 2
    while at + 4 <= len(jpeg) and jpeg[at] == 0xFF and jpeg[at + 1] not in (0xD9, 0xDA):
        length = struct.unpack(">H", jpeg[at + 2:at + 4])[0]
        if jpeg[at + 1] != 0xE1:
            out += jpeg[at:at + 2 + length]
        at += 2 + length
    return bytes(out + jpeg[at:])


def make_undated(folder, samples, count=1000, landing=100):
    undated = os.path.join(folder, "folder")
    os.makedirs(undated, exist_ok=True)
    for index in range(count):
        with open(os.path.join(undated, "IMG_%04d.jpg" % (index + 1)), "wb") as file:
            file.write(without_exif(samples[index % len(samples)][0]))
    make_dated(os.path.join(folder, "landing"), samples,
               [BASE_TIME + timedelta(seconds=2 * index) for index in range(landing)],
               "DSC_%04d.JPG", os.urandom(BIG_FOLDER_SIZE))
    return count


# ---- raw files and sidecars -------------------------------------------------------
RAW_SIZES = {"NEF": 24 * 1024 * 1024, "CR2": 26 * 1024 * 1024, "ARW": 24 * 1024 * 1024,
             "CR3": 28 * 1024 * 1024}
# What the raws' header reads can reach; written for real, the rest left sparse
# (never read, and the corpus is made in seconds).
RAW_WRITTEN = 64 * 1024
EXIF_DATE = "%Y:%m:%d %H:%M:%S"


def ascii_value(text):
    return text.encode() + b"\0"


def tiff_block(order, ifd0, exif, header_extra=b""):
    """A TIFF block: header (with header_extra after it, as CR2's signature),
    IFD0 from ifd0 with a pointer to the Exif IFD, then the Exif IFD; each a list
    of (tag, type, count, value bytes), values longer than 4 bytes after their IFD."""
    def ifd(entries, at, following):
        count = len(entries)
        data_at = at + 2 + 12 * count + 4
        table, data = struct.pack(order + "H", count), b""
        for tag, kind, items, value in sorted(entries):
            if len(value) <= 4:
                field = value.ljust(4, b"\0")
            else:
                field = struct.pack(order + "I", data_at + len(data))
                data += value + (b"\0" if len(value) % 2 else b"")
            table += struct.pack(order + "HHI", tag, kind, items) + field
        return table + struct.pack(order + "I", following) + data

    mark = b"II*\0" if order == "<" else b"MM\0*"
    first = 8 + len(header_extra)
    # IFD0's size does not depend on the Exif IFD's offset: built once to learn it.
    pointer = [(0x8769, 4, 1, struct.pack(order + "I", 0))]
    exif_at = first + len(ifd(ifd0 + pointer, first, 0))
    pointer = [(0x8769, 4, 1, struct.pack(order + "I", exif_at))]
    block = mark + struct.pack(order + "I", first) + header_extra
    return block + ifd(ifd0 + pointer, first, 0) + ifd(exif, exif_at, 0)


def camera_tiff(order, make, model, moment, maker_note_size, header_extra=b""):
    """A camera's TIFF header with its dates: DateTime in IFD0, DateTimeOriginal
    and DateTimeDigitized in the Exif IFD, and a maker note of the size given."""
    date = ascii_value(moment.strftime(EXIF_DATE))
    short = lambda value: struct.pack(order + "H", value)
    rational = lambda a, b: struct.pack(order + "II", a, b)
    ifd0 = [(0x010F, 2, len(make) + 1, ascii_value(make)),
            (0x0110, 2, len(model) + 1, ascii_value(model)),
            (0x0112, 3, 1, short(1)),
            (0x011A, 5, 1, rational(72, 1)), (0x011B, 5, 1, rational(72, 1)),
            (0x0128, 3, 1, short(2)),
            (0x0132, 2, 20, date)]
    exif = [(0x829A, 5, 1, rational(1, 250)), (0x829D, 5, 1, rational(56, 10)),
            (0x8827, 3, 1, short(400)), (0x9000, 7, 4, b"0232"),
            (0x9003, 2, 20, date), (0x9004, 2, 20, date),
            (0x927C, 7, maker_note_size, bytes(index % 251 for index in range(maker_note_size)))]
    return tiff_block(order, ifd0, exif, header_extra)


def raw_file(kind, moment):
    """The first bytes of a raw file of kind taken at moment."""
    if kind == "NEF":
        return camera_tiff(">", "NIKON CORPORATION", "NIKON Z 6_2", moment, 9000)
    if kind == "CR2":
        # CR2: a TIFF header, then "CR", version 2.0 and the raw IFD's offset.
        return camera_tiff("<", "Canon", "Canon EOS 5D Mark IV", moment, 6000,
                           header_extra=b"CR\2\0" + bytes(4))
    if kind == "ARW":
        return camera_tiff("<", "SONY", "ILCE-7M3", moment, 30000)
    # CR3: an ISO base media file whose dates lie in boxes no TIFF walk reads.
    return box(b"ftyp", b"crx " + struct.pack(">I", 1) + b"crx isom") + box(
        b"uuid", bytes(range(16)) + bytes(2048))


def sidecar(base, moment):
    """An XMP sidecar as raw developers write it."""
    date = moment.strftime("%Y-%m-%dT%H:%M:%S")
    text = ('<?xpacket begin="\ufeff" id="W5M0MpCehiHzreSzNTczkc9d"?>\n'
            '<x:xmpmeta xmlns:x="adobe:ns:meta/">\n'
            ' <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">\n'
            '  <rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/"\n'
            '    xmlns:crs="http://ns.adobe.com/camera-raw-settings/1.0/"\n'
            '   xmp:CreateDate="%s" xmp:ModifyDate="%s" crs:RawFileName="%s"\n'
            '   crs:Version="15.4" crs:WhiteBalance="As Shot" crs:Exposure2012="+0.35"/>\n'
            ' </rdf:RDF>\n</x:xmpmeta>\n' % (date, date, base))
    return (text + " " * 2048 + '\n<?xpacket end="w"?>').encode()


def write_sparse(path, data, size, filler):
    """data, then filler up to RAW_WRITTEN bytes, then a hole up to size."""
    with open(path, "wb") as file:
        file.write(data)
        file.write(filler[:max(0, RAW_WRITTEN - len(data))])
        file.truncate(size)


COMPANION_KINDS = ("NEF", "CR2|ARW", "CR3", "XMP")


def make_companions(folder, samples, count=500):
    """DIR/four and DIR/nef: the same pictures, with a companion of four kinds in
    turn or with a .NEF each."""
    four, nef = os.path.join(folder, "four"), os.path.join(folder, "nef")
    os.makedirs(four)
    os.makedirs(nef)
    filler = os.urandom(CAMERA_SIZE)
    for index, moment in enumerate(card_times(count)):
        name = "DSC_%04d" % (index + 1)
        picture = os.path.join(four, name + ".JPG")
        write_padded(picture, dated(samples[index % len(samples)], moment), CAMERA_SIZE, filler)
        os.link(picture, os.path.join(nef, name + ".JPG"))
        write_sparse(os.path.join(nef, name + ".NEF"), raw_file("NEF", moment), RAW_SIZES["NEF"],
                     filler)
        kind = COMPANION_KINDS[index % 4]
        if kind == "CR2|ARW":
            kind = "CR2" if index % 8 == 1 else "ARW"
        if kind == "XMP":
            # Both naming styles: after the picture's base name, after its whole name.
            side = name + (".xmp" if index % 8 == 3 else ".JPG.xmp")
            with open(os.path.join(four, side), "wb") as file:
                file.write(sidecar(name + ".JPG", moment))
        else:
            write_sparse(os.path.join(four, name + "." + kind), raw_file(kind, moment),
                         RAW_SIZES[kind], filler)
    return count


# ---- phone pictures: HEIC ------------------------------------------------------
HEIC_TILES = 48  # a 4032 x 3024 picture in 512 x 512 tiles


def box(kind, body):
    return struct.pack(">I", 8 + len(body)) + kind + body


def full_box(kind, version, flags, body):
    return box(kind, struct.pack(">I", (version << 24) | flags) + body)


def heic_meta(exif_at, exif_size, tiles_at, tile_size):
    """A phone's meta box: the handler, the primary item (a grid of tiles), the
    items' information, references, properties and locations. Item ids: the
    tiles 1..48, the grid 49, the Exif item 50, the thumbnail 51."""
    grid, exif_id, thumb = HEIC_TILES + 1, HEIC_TILES + 2, HEIC_TILES + 3
    hdlr = full_box(b"hdlr", 0, 0, bytes(4) + b"pict" + bytes(12) + b"\0")
    dinf = box(b"dinf", full_box(b"dref", 0, 0, struct.pack(">I", 1) +
                                 full_box(b"url ", 0, 1, b"")))
    pitm = full_box(b"pitm", 0, 0, struct.pack(">H", grid))

    def infe(item, kind):
        return full_box(b"infe", 2, 1 if kind == b"hvc1" and item <= HEIC_TILES else 0,
                        struct.pack(">HH", item, 0) + kind + b"\0")
    entries = [infe(item, b"hvc1") for item in range(1, HEIC_TILES + 1)]
    entries += [infe(grid, b"grid"), infe(exif_id, b"Exif"), infe(thumb, b"hvc1")]
    iinf = full_box(b"iinf", 0, 0, struct.pack(">H", len(entries)) + b"".join(entries))

    def reference(kind, source, targets):
        return box(kind, struct.pack(">HH", source, len(targets)) +
                   b"".join(struct.pack(">H", target) for target in targets))
    iref = full_box(b"iref", 0, 0, reference(b"dimg", grid, range(1, HEIC_TILES + 1)) +
                    reference(b"thmb", thumb, [grid]) + reference(b"cdsc", exif_id, [grid]))
    hvcc = box(b"hvcC", bytes([1, 1, 0x60, 0, 0, 0, 0x90, 0, 0, 0, 0, 0, 0x5A, 0xF0, 0, 0xFC,
                               0xFD, 0xF8, 0xF8, 0, 0, 0x0F, 3]) + bytes(90))
    ispe_tile = full_box(b"ispe", 0, 0, struct.pack(">II", 512, 512))
    ispe_full = full_box(b"ispe", 0, 0, struct.pack(">II", 4032, 3024))
    colr = box(b"colr", b"prof" + struct.pack(">I", 536) + bytes(532))  # Display P3
    pixi = full_box(b"pixi", 0, 0, bytes([3, 8, 8, 8]))
    irot = box(b"irot", b"\0")
    ipco = box(b"ipco", hvcc + ispe_tile + colr + pixi + ispe_full + irot)
    associations = []
    for item in list(range(1, HEIC_TILES + 1)) + [thumb]:
        associations.append(struct.pack(">HB", item, 4) + bytes([0x81, 2, 3, 4]))
    associations.append(struct.pack(">HB", grid, 4) + bytes([5, 3, 4, 0x86]))
    ipma = full_box(b"ipma", 0, 0, struct.pack(">I", len(associations)) + b"".join(associations))
    iprp = box(b"iprp", ipco + ipma)
    # The grid's description in the meta box's own data (construction method 1).
    idat = box(b"idat", struct.pack(">BBBBHH", 0, 0, 5, 7, 4032, 3024))

    def location(item, method, offset, length):
        return struct.pack(">HHHHII", item, method, 0, 1, offset, length)
    places = [location(item, 0, tiles_at + (item - 1) * tile_size, tile_size)
              for item in range(1, HEIC_TILES + 1)]
    places += [location(grid, 1, 0, 8), location(exif_id, 0, exif_at, exif_size),
               location(thumb, 0, tiles_at + HEIC_TILES * tile_size, 12000)]
    # Version 1: 4-byte offsets and lengths, no base offset, no index.
    iloc = full_box(b"iloc", 1, 0, bytes([0x44, 0x00]) + struct.pack(">H", len(places)) +
                    b"".join(places))
    return full_box(b"meta", 0, 0, hdlr + dinf + pitm + iinf + iref + iprp + idat + iloc)


def heic_exif(moment):
    """A phone's Exif item: a 4-byte offset to the TIFF header, "Exif\0\0", then
    the TIFF block, big-endian as Apple writes it."""
    tiff = camera_tiff(">", "Apple", "iPhone 13", moment, 1400)
    return struct.pack(">I", 6) + b"Exif\0\0" + tiff


def heic_file(moment, size, late=False):
    """A HEIC picture of about size bytes: (what comes before the image data,
    the image data's length, what comes after it). The image data begins with
    the Exif item; the meta box comes before the media data box, or with late
    after it."""
    ftyp = box(b"ftyp", b"heic" + bytes(4) + b"mif1MiHBMiHAheixMiHEmiafheic")
    exif = heic_exif(moment)
    # Offsets are four bytes whatever their values: the meta box's size is known
    # from a first build.
    meta_size = len(heic_meta(0, len(exif), 0, 0))
    exif_at = len(ftyp) + (0 if late else meta_size) + 8
    tiles_at = exif_at + len(exif)
    tile_size = (size - tiles_at - (meta_size if late else 0) - 12000) // HEIC_TILES
    meta = heic_meta(exif_at, len(exif), tiles_at, tile_size)
    data_size = len(exif) + HEIC_TILES * tile_size + 12000
    mdat = struct.pack(">I", 8 + data_size) + b"mdat" + exif
    if late:
        return ftyp + mdat, data_size - len(exif), meta
    return ftyp + meta + mdat, data_size - len(exif), b""


def make_heic(folder, late=False, count=500):
    filler = os.urandom(3 * 1024 * 1024)
    for index in range(count):
        moment = BASE_TIME + timedelta(seconds=5 * index)
        size = 2 * 1024 * 1024 + (index * 7919) % (1024 * 1024)
        head, image_bytes, tail = heic_file(moment, size, late)
        with open(os.path.join(folder, "IMG_%04d.HEIC" % (index + 1)), "wb") as file:
            file.write(head)
            file.write(filler[:image_bytes])
            file.write(tail)
    return count


# ---- phone videos ----------------------------------------------------------------
VIDEO_SIZE = 1 << 30
VIDEO_SECONDS = 60
VIDEO_FPS = 60
AUDIO_RATE = 48000
AUDIO_FRAME = 1024  # samples in an AAC frame
# QuickTime and MP4 count seconds from 1904-01-01, UTC.
EPOCH_1904 = datetime(1904, 1, 1)
# The phone's zone: its creation date text bears the local time and this offset,
# the movie header the UTC time.
VIDEO_ZONE = timedelta(hours=2)
VIDEO_BASE = datetime(2024, 6, 15, 10, 0, 5)
MATRIX = struct.pack(">9I", 0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000)


def table(kind, entries, entry_format):
    """A sample table box: its count of entries, then the entries, each a tuple
    packed with entry_format."""
    return full_box(kind, 0, 0, struct.pack(">I", len(entries)) + b"".join(
        struct.pack(entry_format, *entry) for entry in entries))


def sizes_box(sizes):
    # stsz: a sample size of 0 (each sample its own), the count, the sizes.
    return full_box(b"stsz", 0, 0, struct.pack(">II", 0, len(sizes)) +
                    struct.pack(">%dI" % len(sizes), *sizes))


def track(track_id, seconds_1904, handler, media_header, sample_entry, timescale, stbl_tables,
          width=0, height=0):
    volume = 0x0100 if handler == b"soun" else 0
    duration_movie = VIDEO_SECONDS * 1000
    tkhd = full_box(b"tkhd", 0, 7, struct.pack(">IIIII", seconds_1904, seconds_1904, track_id,
                                                0, duration_movie) + bytes(8) +
                    struct.pack(">hhhH", 0, 0, volume, 0) + MATRIX +
                    struct.pack(">II", width << 16, height << 16))
    mdhd = full_box(b"mdhd", 0, 0, struct.pack(">IIIIHH", seconds_1904, seconds_1904, timescale,
                                                timescale * VIDEO_SECONDS, 0x55C4, 0))
    name = b"Core Media Video\0" if handler == b"vide" else b"Core Media Audio\0"
    hdlr = full_box(b"hdlr", 0, 0, bytes(4) + handler + bytes(12) + name)
    dinf = box(b"dinf", full_box(b"dref", 0, 0, struct.pack(">I", 1) +
                                 full_box(b"url ", 0, 1, b"")))
    stsd = full_box(b"stsd", 0, 0, struct.pack(">I", 1) + sample_entry)
    minf = box(b"minf", media_header + dinf + box(b"stbl", stsd + b"".join(stbl_tables)))
    return box(b"trak", tkhd + box(b"mdia", mdhd + hdlr + minf))


def video_tracks(seconds_1904, data_at, data_size):
    """The video and sound tracks of a minute at 60 frames a second with 48 kHz
    AAC, their chunks spread over the media data."""
    frames = VIDEO_SECONDS * VIDEO_FPS
    audio_frames = VIDEO_SECONDS * AUDIO_RATE // AUDIO_FRAME
    frame_sizes = [(450000 if index % VIDEO_FPS == 0 else 250000) + (index * 7919) % 60000
                   for index in range(frames)]
    audio_sizes = [370 + (index * 131) % 40 for index in range(audio_frames)]
    # A chunk of two frames and one of two audio frames in turn; offsets within
    # the media data (which the corpus leaves a hole).
    video_chunks = frames // 2
    audio_chunks = (audio_frames + 1) // 2
    step = (data_size - 4096) // video_chunks
    video_offsets = [data_at + index * step for index in range(video_chunks)]
    audio_step = (data_size - 4096) // audio_chunks
    audio_offsets = [data_at + index * audio_step + 2048 for index in range(audio_chunks)]
    avcc = box(b"avcC", bytes([1, 0x64, 0, 0x33, 0xFF, 0xE1]) + struct.pack(">H", 24) +
               bytes(24) + bytes([1]) + struct.pack(">H", 4) + bytes(4))
    avc1 = box(b"avc1", bytes(6) + struct.pack(">H", 1) + bytes(16) +
               struct.pack(">HHIIIH", 3840, 2160, 0x480000, 0x480000, 0, 1) + bytes(32) +
               struct.pack(">Hh", 24, -1) + avcc)
    esds = full_box(b"esds", 0, 0, bytes([3, 25, 0, 1, 0, 4, 17, 0x40, 0x15]) + bytes(11) +
                    bytes([5, 2, 0x11, 0x90, 6, 1, 2]))
    mp4a = box(b"mp4a", bytes(6) + struct.pack(">H", 1) + bytes(8) +
               struct.pack(">HHHHI", 2, 16, 0, 0, AUDIO_RATE << 16) + esds)
    vmhd = full_box(b"vmhd", 0, 1, bytes(8))
    smhd = full_box(b"smhd", 0, 0, bytes(4))
    video = track(1, seconds_1904, b"vide", vmhd, avc1, 600, [
        table(b"stts", [(frames, 10)], ">II"),
        table(b"stss", [(1 + index * VIDEO_FPS,) for index in range(frames // VIDEO_FPS)],
              ">I"),
        table(b"stsc", [(1, 2, 1)], ">III"),
        sizes_box(frame_sizes),
        table(b"co64", [(offset,) for offset in video_offsets], ">Q")], 3840, 2160)
    sound = track(2, seconds_1904, b"soun", smhd, mp4a, AUDIO_RATE, [
        table(b"stts", [(audio_frames, AUDIO_FRAME)], ">II"),
        table(b"stsc", [(1, 2, 1)], ">III"),
        sizes_box(audio_sizes),
        table(b"stco", [(offset,) for offset in audio_offsets], ">I")])
    return video + sound


def apple_metadata(local):
    """Apple's QuickTime metadata: a plain meta box with the mdta handler, the
    keys, and their values in ilst (UTF-8 text), the creation date among them."""
    date = local.strftime("%Y-%m-%dT%H:%M:%S") + "+%02d%02d" % (
        VIDEO_ZONE.seconds // 3600, VIDEO_ZONE.seconds // 60 % 60)
    items = [("com.apple.quicktime.location.accuracy.horizontal", "14.142136"),
             ("com.apple.quicktime.location.ISO6709", "+48.8584+002.2945+035.000/"),
             ("com.apple.quicktime.make", "Apple"),
             ("com.apple.quicktime.model", "iPhone 15 Pro"),
             ("com.apple.quicktime.software", "17.5.1"),
             ("com.apple.quicktime.creationdate", date)]
    hdlr = full_box(b"hdlr", 0, 0, bytes(4) + b"mdta" + bytes(12) + b"\0")
    keys = full_box(b"keys", 0, 0, struct.pack(">I", len(items)) + b"".join(
        struct.pack(">I", 8 + len(key)) + b"mdta" + key.encode() for key, _ in items))
    ilst = box(b"ilst", b"".join(
        box(struct.pack(">I", index + 1), box(b"data", struct.pack(">II", 1, 0) + value.encode()))
        for index, (_, value) in enumerate(items)))
    return box(b"meta", hdlr + keys + ilst)


def video_file(local):
    """The head (file type box, media data box header) and the tail (movie box)
    of a 1 GiB video taken at the local time given."""
    ftyp = box(b"ftyp", b"qt  " + struct.pack(">I", 0x20230600) + b"qt  ")
    seconds = int((local - VIDEO_ZONE - EPOCH_1904).total_seconds())
    data_at = len(ftyp) + 8

    def moov(data_size):
        mvhd = full_box(b"mvhd", 0, 0, struct.pack(">IIII", seconds, seconds, 1000,
                                                    VIDEO_SECONDS * 1000) +
                        struct.pack(">IH", 0x10000, 0x100) + bytes(10) + MATRIX + bytes(24) +
                        struct.pack(">I", 3))
        return box(b"moov", mvhd + video_tracks(seconds, data_at, data_size) +
                   apple_metadata(local))
    # The movie box's size does not depend on the offsets in it: built once to learn it.
    data_size = VIDEO_SIZE - data_at - len(moov(VIDEO_SIZE // 2))
    head = ftyp + struct.pack(">I", 8 + data_size) + b"mdat"
    return head, moov(data_size)


def make_videos(folder, count=500):
    for index in range(count):
        head, tail = video_file(VIDEO_BASE + timedelta(seconds=61 * index))
        with open(os.path.join(folder, "VID_%04d.MP4" % (index + 1)), "wb") as file:
            file.write(head)
            file.seek(VIDEO_SIZE - len(tail))
            file.write(tail)
    return count


def main():
    kind, folder = sys.argv[1], sys.argv[-1]
    os.makedirs(folder, exist_ok=True)
    # The phone corpora are made from nothing; the others from the samples.
    made_alone = {"heic": lambda: make_heic(folder),
                  "heic-late": lambda: make_heic(folder, late=True),
                  "videos": lambda: make_videos(folder)}
    if kind in made_alone:
        print(made_alone[kind]())
        return
    samples = usable_samples()
    if not samples:
        sys.exit("no usable camera samples in " + SAMPLES)
    if kind == "card":
        made = make_card(folder, samples)
    elif kind == "big":
        made = make_big(folder, samples, int(sys.argv[2]))
    elif kind == "undated":
        made = make_undated(folder, samples)
    elif kind == "companions":
        made = make_companions(folder, samples)
    else:
        made = make_rescan(folder, samples)
    print(made)


if __name__ == "__main__":
    main()
