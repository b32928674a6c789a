#include "tools/capture/progress.h"

#include <unistd.h>

#include <ctime>

namespace {

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

} // namespace

void format_progress(char *buffer, std::size_t size, std::int64_t done, std::int64_t total, int fps,
                     double elapsed) {
    const double filmed = static_cast<double>(done) / fps;
    if (done <= 0 || elapsed <= 0) {
        std::snprintf(buffer, size, "frame %lld/%lld", static_cast<long long>(done),
                      static_cast<long long>(total));
        return;
    }
    const double left = elapsed * static_cast<double>(total - done) / static_cast<double>(done);
    const long long whole = static_cast<long long>(left + 0.5);
    std::snprintf(buffer, size, "frame %lld/%lld  %.1fx real time  %lld:%02lld left",
                  static_cast<long long>(done), static_cast<long long>(total), filmed / elapsed,
                  whole / 60, whole % 60);
}

progress_line::progress_line(std::FILE *out, std::int64_t total, int fps)
    : out_(out), shown_(isatty(fileno(out)) != 0), total_(total), fps_(fps), start_(now()) {}

void progress_line::update(std::int64_t done) {
    if (!shown_)
        return;
    const double t = now() - start_;
    if (done < total_ && last_draw_ >= 0 && t - last_draw_ < 0.2)
        return;
    last_draw_ = t;
    char line[128];
    format_progress(line, sizeof line, done, total_, fps_, t);
    // Carriage return and erase to the end of the line: the line redraws in place.
    std::fprintf(out_, "\r%s\033[K", line);
    std::fflush(out_);
}

void progress_line::finish() {
    if (shown_ && last_draw_ >= 0)
        std::fputc('\n', out_);
    last_draw_ = -1;
}
