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


def main():
    kind, folder = sys.argv[1], sys.argv[-1]
    os.makedirs(folder, exist_ok=True)
    samples = usable_samples()
    if not samples:
        sys.exit("no usable camera samples in " + SAMPLES)
    if kind == "card":
        made = make_card(folder, samples)
    elif kind == "big":
        made = make_big(folder, samples, int(sys.argv[2]))
    elif kind == "undated":
        made = make_undated(folder, samples)
    else:
        made = make_rescan(folder, samples)
    print(made)


if __name__ == "__main__":
    main()
