#pragma once
// The progress line on a terminal: frames done of all, speed against real time, time left.
// Silent when standard error is not a terminal, so logs and pipes get no control characters.

#include <cstdint>
#include <cstdio>

class progress_line {
  public:
    // total frames of video at fps frames a second; prints to `out` only if it is a terminal.
    progress_line(std::FILE *out, std::int64_t total, int fps);
    // Called after every frame; redraws a few times a second at most.
    void update(std::int64_t done);
    // Ends the line, so what follows starts on a fresh one.
    void finish();

  private:
    std::FILE *out_;
    bool shown_;
    std::int64_t total_;
    int fps_;
    double start_;
    double last_draw_ = -1;
};

// The text of the line, for a moment `elapsed` seconds into the capture.
// buffer receives at most size bytes, ending with a zero.
void format_progress(char *buffer, std::size_t size, std::int64_t done, std::int64_t total, int fps,
                     double elapsed);
