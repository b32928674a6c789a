// The emulated display's 60 Hz schedule against simulated hosts: how many flips a second of
// time makes at each host refresh, which frames reach the host's display, the lock to a
// host near 60 Hz, and when the host's vertical blank is given up.
#include "platform/host/refresh.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t second = refresh_schedule::second;

struct simulated_host {
    double hz;                // 0: presents never wait
    std::int64_t jitter;      // a present returns up to this late after the blank
    std::int64_t work;        // the show's time between flips
    std::int64_t hidden_from; // from then on presents get no blank for a whole second
};

struct run_result {
    int flips = 0, presents = 0, refreshes = 0, repeats = 0;
    bool locked = false;
    bool dropped = false;
};

// Flips for `seconds` of simulated time. Host blanks fall at k / hz; a present waits for
// the first one after it starts.
run_result simulate(const simulated_host &host, double seconds) {
    refresh_schedule schedule;
    const std::int64_t period = host.hz > 0 ? static_cast<std::int64_t>(second / host.hz) : 0;
    // The host reports its rate in whole hertz, as SDL does.
    schedule.set_host_refresh(host.hz > 0 ? second / static_cast<std::int64_t>(host.hz + 0.5) : 0);
    auto blank_after = [&](std::int64_t t) {
        const auto k = static_cast<std::int64_t>(static_cast<double>(t) * host.hz / second) + 1;
        return static_cast<std::int64_t>(static_cast<double>(k) * second / host.hz);
    };
    std::mt19937 random(7);
    bool vsync = period > 0;
    run_result r;
    std::int64_t t = 0, last_shown_blank = -1;
    const auto end = static_cast<std::int64_t>(seconds * second);
    while (t < end) {
        ++r.flips;
        if (schedule.flip(t)) {
            ++r.presents;
            std::int64_t done = t;
            if (vsync) {
                std::int64_t blank = blank_after(t);
                if (host.hidden_from > 0 && t >= host.hidden_from)
                    blank = t + second;
                if (last_shown_blank >= 0)
                    r.refreshes +=
                        static_cast<int>((blank - last_shown_blank + period / 2) / period);
                last_shown_blank = blank;
                if (host.jitter > 0)
                    done = blank + static_cast<std::int64_t>(random() % host.jitter);
                else
                    done = blank;
            }
            if (schedule.presented(t, done) != refresh_keep) {
                r.dropped = true;
                schedule.set_host_refresh(0);
                vsync = false;
            }
            t = done;
        }
        r.locked = r.locked || schedule.locked();
        if (schedule.due() > t)
            t = schedule.due();
        t += host.work;
    }
    r.repeats = r.refreshes - (r.presents - 1);
    return r;
}

TEST(RefreshSchedule, SixtyFlipsASecondAtEveryHostRate) {
    struct rate_case {
        double hz;
        std::int64_t jitter;
        int flips;   // in 10 s, within 3
        bool locked; // to the host's blank
        bool every;  // every flip presented, each at its own blank
    };
    const rate_case cases[] = {
        {0, 0, 600, false, false},           // no vsync: the schedule's own pace
        {50, 0, 600, false, false},          // a presentation skipped now and then
        {59.94, 0, 599, true, true},         // locked: the host's rate, nothing doubled
        {59.94, 2'000'000, 599, true, true}, // the same when wake-ups come up to 2 ms late
        {60, 0, 600, true, true},
        {60.25, 500'000, 602, true, true}, // 0.42% off: still locked
        {59.5, 0, 600, false, false},      // 0.83% off: not
        {60.5, 0, 600, false, false},
        {75, 0, 600, false, false},
        {120, 0, 600, false, false},
        {144, 500'000, 600, false, false},
        {240, 0, 600, false, false},
    };
    for (const rate_case &c : cases) {
        SCOPED_TRACE(std::to_string(c.hz) + " Hz, jitter " + std::to_string(c.jitter));
        const run_result r = simulate({c.hz, c.jitter, 3'000'000, 0}, 10);
        EXPECT_NEAR(r.flips, c.flips, 3);
        EXPECT_EQ(r.locked, c.locked);
        EXPECT_FALSE(r.dropped);
        if (c.every) {
            EXPECT_NEAR(r.presents, r.flips, 3); // only before the lock may one be passed over
            EXPECT_LE(r.repeats, 3);
        }
        if (c.hz > 60 && !c.locked) { // a faster one shows every frame, some twice
            EXPECT_EQ(r.presents, r.flips);
            EXPECT_NEAR(r.repeats, c.hz * 10 - 600, 3);
        }
        if (c.hz > 0 && c.hz < 60 && !c.locked) { // a slower one cannot show them all
            EXPECT_NEAR(r.presents, c.hz * 10, 3);
        }
    }
}

TEST(RefreshSchedule, GivesUpAVerticalBlankThatDoesNotCome) {
    // A window hidden after 2 s gets no blank: the first present that waits that long
    // hands the pace to the schedule, and the show still makes its 60 flips a second.
    const run_result hidden = simulate({60, 0, 3'000'000, 2 * second}, 10);
    EXPECT_TRUE(hidden.dropped);
    EXPECT_NEAR(hidden.flips, 600 - 60, 3); // the one second that present took

    // A present slowed down by a busy machine keeps the vsync; a run of them does not.
    {
        refresh_schedule slow;
        slow.set_host_refresh(second / 60);
        std::int64_t at = 0;
        std::vector<refresh_verdict> verdicts;
        std::vector<std::int64_t> durations(60, 5'000'000); // the window's first frames
        durations[1] = 200'000'000;                         // compiling its shaders
        for (std::int64_t took : {5'000'000, 5'000'000, 5'000'000, 40'000'000, 5'000'000,
                                  40'000'000, 40'000'000, 40'000'000})
            durations.push_back(took);
        for (std::int64_t took : durations) {
            slow.flip(at);
            verdicts.push_back(slow.presented(at, at + took));
            at += took + 3'000'000;
        }
        EXPECT_EQ(verdicts[1], refresh_keep);
        EXPECT_EQ(verdicts[60 + 3], refresh_keep);
        EXPECT_EQ(verdicts[60 + 6], refresh_keep);
        EXPECT_EQ(verdicts[60 + 7], refresh_vsync_blocks);
    }

    // Presents that return at once: a vsync that does not wait.
    refresh_schedule schedule;
    schedule.set_host_refresh(second / 60);
    refresh_verdict verdict = refresh_keep;
    std::int64_t t = 0;
    int flips = 0;
    for (; flips < 200 && verdict == refresh_keep; ++flips) {
        schedule.flip(t);
        verdict = schedule.presented(t, t + 100'000);
        t = schedule.due() + 3'000'000;
    }
    EXPECT_EQ(verdict, refresh_vsync_never_waits);
    EXPECT_LE(flips, 61);
}

TEST(RefreshSchedule, DeadlinesAndBlanksBetweenFlips) {
    refresh_schedule schedule;
    schedule.set_host_refresh(0);
    const std::int64_t frame = second / 60;
    EXPECT_TRUE(schedule.flip(1000));
    EXPECT_EQ(schedule.due(), 1000 + frame);
    EXPECT_EQ(schedule.next_vblank(1000 + frame + 5), 1000 + second * 2 / 60);
    // A flip far behind its deadline starts afresh instead of rushing.
    EXPECT_TRUE(schedule.flip(second));
    EXPECT_EQ(schedule.due(), second);
    EXPECT_TRUE(schedule.flip(second + 10));
    EXPECT_EQ(schedule.due(), second + frame);
    // One a couple of frames late keeps the schedule and returns at once, to catch up.
    EXPECT_TRUE(schedule.flip(second + 3 * frame));
    EXPECT_EQ(schedule.due(), second + 2 * second / 60);
}

} // namespace
