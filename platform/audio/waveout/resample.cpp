#include "platform/audio/waveout/resample.h"

resampler::resampler(int in_rate, int in_channels)
    : in_rate_(in_rate), in_channels_(in_channels == 1 ? 1 : 2) {}

void resampler::reset() {
    have_previous_ = false;
    phase_ = 0;
}

void resampler::push(const std::int16_t *in, std::size_t frames, std::vector<std::int16_t> &out) {
    if (in_rate_ == out_rate && in_channels_ == 2) {
        out.insert(out.end(), in, in + frames * 2);
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int16_t *p = in + i * static_cast<std::size_t>(in_channels_);
        const std::int16_t current[2] = {p[0], in_channels_ == 2 ? p[1] : p[0]};
        if (!have_previous_) {
            previous_[0] = current[0];
            previous_[1] = current[1];
            have_previous_ = true;
            continue;
        }
        // Every output frame that falls between the previous input frame and this one.
        for (; phase_ < out_rate; phase_ += in_rate_) {
            for (int c = 0; c < 2; ++c) {
                const std::int64_t a = previous_[c];
                const std::int64_t b = current[c];
                out.push_back(static_cast<std::int16_t>(a + (b - a) * phase_ / out_rate));
            }
        }
        phase_ -= out_rate;
        previous_[0] = current[0];
        previous_[1] = current[1];
    }
}

void resampler::finish(std::vector<std::int16_t> &out) {
    if (in_rate_ == out_rate && in_channels_ == 2)
        return;
    if (have_previous_) {
        for (; phase_ < out_rate; phase_ += in_rate_) {
            out.push_back(previous_[0]);
            out.push_back(previous_[1]);
        }
    }
    reset();
}
