// The emulated display's 60 Hz refresh on a host's clock: deadlines, the host's measured
// refresh, the lock to it, and which flipped frames are presented.
#include "platform/host/refresh.h"

namespace {

constexpr std::int64_t frame = refresh_schedule::second / refresh_schedule::rate;
// A host vertical blank up to half a frame after a flip's deadline still takes the flip's
// frame: the flip returns that much late (the deadlines after it stay where they are)
// rather than leave that blank without a new frame while the next one is being made.
constexpr std::int64_t late_allowed = frame / 2;
// A present that kept the show for several frames had no vertical blank to wait for; so
// had presents in a row that took longer than a frame's drawing and a refresh of the
// host's. A present includes the drawing, which on a busy machine without a GPU can take a
// frame or more now and then, and much longer while the first frames of a window compile
// their shaders: that alone is no reason to give up the vsync. So until warm_up_presents
// have gone by, only a very long wait counts.
constexpr std::int64_t blocked_too_long = frame * 8;
constexpr std::int64_t blocked_at_start = frame * 15;
constexpr int long_presents_allowed = 3;
constexpr int warm_up_presents = 60;
constexpr std::int64_t catch_up_frames = 4;
// Presents in a row that returned at once before a vsync is taken for one that does not
// wait.
constexpr int quick_presents_allowed = 60;

std::int64_t magnitude(std::int64_t v) {
    return v < 0 ? -v : v;
}

} // namespace

void refresh_schedule::set_host_refresh(std::int64_t period) {
    reported_ = period > 0 ? period : 0;
    period_ = reported_;
    have_vblank_ = false;
    run_periods_ = 0;
    presents_ = 0;
    quick_presents_ = 0;
    long_presents_ = 0;
    locked_ = false;
}

bool refresh_schedule::flip(std::int64_t now) {
    if (!started_) {
        started_ = true;
        origin_ = now;
        count_ = 0;
    }
    if (locked_) {
        due_ = now; // until the present tells which of the host's blanks it met
        return true;
    }
    std::int64_t d = deadline(++count_);
    // Far behind (the show could not keep up, or the process was stopped): start afresh
    // rather than rush through the refreshes it missed. A few frames behind (the process
    // was not scheduled for a moment on a busy machine) it catches up by not waiting.
    if (d + catch_up_frames * frame < now) {
        origin_ = now;
        count_ = 0;
        d = now;
    }
    due_ = d;
    // A host near 60 Hz takes every frame, so that its blanks are seen and the lock found.
    if (period_ == 0 || !have_vblank_ || near_sixty())
        return true;
    const std::int64_t next = last_vblank_ + ((now - last_vblank_) / period_ + 1) * period_;
    return next <= d + late_allowed;
}

refresh_verdict refresh_schedule::presented(std::int64_t start, std::int64_t end) {
    if (period_ == 0)
        return refresh_keep;
    ++presents_;
    // A present may wait a whole refresh of the host's after a frame's drawing.
    long_presents_ = end - start > period_ + frame ? long_presents_ + 1 : 0;
    const bool warm = presents_ > warm_up_presents;
    if (end - start > blocked_at_start ||
        (warm && (end - start > blocked_too_long || long_presents_ >= long_presents_allowed)))
        return refresh_vsync_blocks;
    quick_presents_ = end - start < period_ / 16 ? quick_presents_ + 1 : 0;
    if (quick_presents_ >= quick_presents_allowed)
        return refresh_vsync_never_waits;
    // Locked, each present meets the host's next blank; one that comes back well before
    // it did not wait for it.
    if (locked_ && end - last_vblank_ < period_ / 2)
        return refresh_vsync_never_waits;
    observe_vblank(end);
    if (locked_) {
        due_ = end;
        // Should the lock go, the emulated refresh carries on from this blank.
        origin_ = end;
        count_ = 0;
    }
    return refresh_keep;
}

// The present ended at a host vertical blank, or a little after it: a present comes back
// some time after its blank, never before. So the earliest returns show where the blanks
// are, and a later one moves the estimate only a little (the display's clock may drift
// from ours). A run of blanks that all fall on whole periods measures the period from its
// two ends, so that each wake-up's delay weighs less the longer the run.
void refresh_schedule::observe_vblank(std::int64_t at) {
    if (!have_vblank_) {
        have_vblank_ = true;
        last_vblank_ = at;
        run_start_ = at;
        run_periods_ = 0;
        return;
    }
    const std::int64_t delta = at - last_vblank_;
    const std::int64_t n = (delta + period_ / 2) / period_;
    if (n >= 1 && magnitude(delta - n * period_) <= period_ / 4) {
        run_periods_ += n;
        const std::int64_t expected = last_vblank_ + n * period_;
        last_vblank_ = at < expected ? at : expected + (at - expected) / 16;
        if (run_periods_ >= 8)
            period_ = (last_vblank_ - run_start_) / run_periods_;
    } else {
        last_vblank_ = at;
        run_start_ = at;
        run_periods_ = 0;
    }
    locked_ = near_sixty() && run_periods_ >= lock_periods;
}

// Within 0.5% of 60 Hz (59.94 Hz is 0.1% off).
bool refresh_schedule::near_sixty() const {
    return period_ > 0 && magnitude(period_ - frame) * 200 <= frame;
}

std::int64_t refresh_schedule::next_vblank(std::int64_t now) const {
    if (locked_)
        return last_vblank_ + ((now - last_vblank_) / period_ + 1) * period_;
    if (!started_ || now < origin_)
        return now + frame;
    return deadline((now - origin_) * rate / second + 1);
}
