#pragma once
// The soundtrack beside the video: a WAV of 44100 Hz stereo signed 16-bit samples whose
// length is fixed when it is opened, so the header is right from its first byte and the
// file is the same whatever the pieces it was written in.

#include <cstdint>
#include <cstdio>

class wav_writer {
  public:
    // Writes to `file` (not closed by the writer) exactly `data_bytes` of sound (a whole
    // number of sample frames, at most 4 GiB less the header).
    wav_writer(std::FILE *file, std::uint32_t data_bytes);

    // Writes the header; 0 when the file refuses it.
    int write_header();
    // Takes sound as it comes; anything past the length asked is dropped.
    int write(const void *bytes, std::size_t count);
    // Fills up to the length with silence when less sound came than asked; 0 on a write error.
    int finish();

    std::uint32_t written() const { return written_; }

  private:
    std::FILE *file_;
    std::uint32_t data_bytes_;
    std::uint32_t written_ = 0;
    int ok_ = 1;
};
