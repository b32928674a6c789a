#pragma once
// Signed 16-bit PCM of any rate, mono or stereo, turned into 44100 Hz stereo as it
// streams through, by linear interpolation between neighbouring input frames. 44100 Hz
// stereo passes through unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

class resampler {
  public:
    static constexpr int out_rate = 44100;

    resampler(int in_rate, int in_channels);

    // Appends the output for `frames` input frames (interleaved) to `out`.
    void push(const std::int16_t *in, std::size_t frames, std::vector<std::int16_t> &out);

    // Appends what the last input frame still owes to the output, at the end of the stream.
    void finish(std::vector<std::int16_t> &out);

    // Forgets all input, as at the start of a stream.
    void reset();

  private:
    int in_rate_;
    int in_channels_;
    bool have_previous_ = false;
    std::int16_t previous_[2] = {0, 0};
    // How far the next output frame lies past `previous_`, in units of 1/out_rate of an
    // input frame.
    std::int64_t phase_ = 0;
};
