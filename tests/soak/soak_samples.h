// The pictures the soak sends: copies of the camera samples with their date
// texts rewritten, so that every picture gets a capture time of its own, or,
// where the samples are not at hand, small generated JPEGs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CameraSample {
    std::wstring name;           // the sample's file name
    std::vector<uint8_t> bytes;  // the whole file
    std::string dateText;        // "YYYY:MM:DD HH:MM:SS" that decides its stamp; empty: no date
};

struct SampleSet {
    std::vector<CameraSample> dated;
    std::vector<CameraSample> undated;
    bool fromCameras = false;
    std::wstring note;  // what was loaded, or why the generated ones stand in
};

// Loads the samples that expected.tsv in the folder lists with a stamp or no
// date; falls back to generated JPEGs when the folder or its list is missing.
SampleSet LoadSamples(const std::wstring& folder);

// The sample's bytes with every copy of its date text replaced by the given
// one (same length), so that the first present date tag says it.
std::vector<uint8_t> WithDateText(const CameraSample& sample, const std::string& dateText);

// The bytes followed by pseudo-random filler up to size (nothing added when
// they are as long already): a picture the size a camera writes, the filler
// after the image's end where no reader looks; from empty bytes, a raw file.
// The seed makes each file's filler its own.
std::vector<uint8_t> FilledTo(std::vector<uint8_t> bytes, size_t size, uint32_t seed);
