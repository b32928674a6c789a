#pragma once
// The emulated display's 60 Hz refresh, kept on a host's clock: when each flip returns,
// whether its frame goes to the host's display now or is passed over for the next one, and
// when the emulated refresh locks to the host's own vertical blank. Arithmetic only, on
// times in nanoseconds that the host reads from its clock (real or virtual), so that every
// host runs the same schedule and a test can run it without one.
//
// A host's present, for a flip (or a windowed blit) at `now`:
//   if (schedule.flip(now)) { draw; start = clock(); present; end = clock();
//       if (schedule.presented(start, end) != refresh_keep) { vsync off;
//           schedule.set_host_refresh(0); } }
//   sleep until schedule.due();
#include <cstdint>

enum refresh_verdict {
    refresh_keep = 0,
    // The host's vertical blank cannot be relied on, and the host should stop waiting for
    // it and tell the schedule it has no refresh of its own (set_host_refresh(0)):
    // presents blocked the show for several emulated frames (a hidden window may get no
    // vertical blank at all; worth trying again once it is in front);
    refresh_vsync_blocks,
    // or presents keep returning at once (a vsync that does not wait).
    refresh_vsync_never_waits,
};

class refresh_schedule {
  public:
    static constexpr std::int64_t second = 1'000'000'000;
    static constexpr int rate = 60; // the emulated display's refreshes per second

    // The host's refresh period in nanoseconds where its present waits for its vertical
    // blank (from what the host reports; refined from the presents themselves), or 0 where
    // presenting never waits and the schedule's own deadlines are the only pace.
    void set_host_refresh(std::int64_t period);

    // A frame is flipped at `now`. Returns whether to present it now: the host's next
    // vertical blank comes before the flip is due. Otherwise the host keeps showing what it
    // shows, and the next flip's frame is the next one shown.
    bool flip(std::int64_t now);
    // The present of the flipped frame ran from start to end (where the host waits for its
    // vertical blank, end is that blank).
    refresh_verdict presented(std::int64_t start, std::int64_t end);
    // When the last flip returns: the emulated display's vertical blank after it.
    std::int64_t due() const { return due_; }
    // The emulated display's first vertical blank after `now`, for waiting without a flip.
    std::int64_t next_vblank(std::int64_t now) const;

    // Whether the emulated refresh follows the host's vertical blank (a host within 0.5% of
    // 60 Hz, measured over at least lock_periods of its refreshes).
    bool locked() const { return locked_; }
    // The host's refresh period as measured (or as reported, before enough presents); 0
    // where it has none.
    std::int64_t host_period() const { return period_; }

    static constexpr int lock_periods = 30;

  private:
    std::int64_t deadline(std::int64_t count) const { return origin_ + count * second / rate; }
    void observe_vblank(std::int64_t at);
    bool near_sixty() const;

    bool started_ = false;
    std::int64_t origin_ = 0; // the emulated vertical blank that deadlines count from
    std::int64_t count_ = 0;  // of the last flip's deadline, from origin_
    std::int64_t due_ = 0;

    std::int64_t reported_ = 0; // the host's period as it reported it
    std::int64_t period_ = 0;   // the host's period, as measured once run_periods_ allows
    bool have_vblank_ = false;
    std::int64_t last_vblank_ = 0; // where the host's last blank was, as far as seen
    std::int64_t run_start_ = 0;   // a run of vblanks that all fell on the host's period
    std::int64_t run_periods_ = 0;
    bool locked_ = false;
    int presents_ = 0;       // since the host refresh was set
    int quick_presents_ = 0; // in a row that returned at once
    int long_presents_ = 0;  // in a row that took more than a frame and a half
};
