// Writes small MOV and MP4 files with their dates where phones, cameras and
// tools write them, for tests and for the fuzzer's seed corpus. Portable C++:
// it builds for Windows and natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VideoFixture {
    std::string majorBrand = "qt  ";  // "isom", "mp42": MP4
    bool withFileType = true;
    bool movieLast = true;      // the media data first (as phones write), else first
    uint32_t mediaBytes = 64;   // media data box's contents
    uint64_t movieSeconds = 0;  // mvhd creation time, seconds since 1904
    bool movieHeaderVersion1 = false;
    uint64_t trackSeconds = 0;      // the first track's tkhd and mdhd
    uint32_t sampleTableBytes = 0;  // filler in each track (a long video's tables)
    int tracks = 1;
    std::string appleCreationDate;  // moov/meta (QuickTime: plain) keys + ilst
    bool appleKeysAfterList = false;
    std::string userDay;            // moov/udta/\xA9day, QuickTime text
    std::string listDay;            // moov/udta/meta (full)/ilst/\xA9day/data, as MP4 writes it
    std::string firmware;           // moov/udta/FIRM
    std::string sonyXml;            // top-level meta (full) with an 'xml ' box
    std::string xmpPacket;          // top-level XMP uuid box
    std::string userXmp;            // moov/udta/XMP_
    bool metaBeforeTracks = false;  // moov/meta and udta before the tracks
};

std::vector<uint8_t> BuildVideo(const VideoFixture& video);

// Seconds since 1904-01-01 of a date (UTC), for the movie header.
uint64_t MovieSeconds(int year, int month, int day, int hour, int minute, int second);
