#pragma once
// When a click is heard against when the audio library's position says it is: plays an MP3
// through the audio library on the native host (on the sound server that PULSE_SERVER
// names) while recording the server's sink monitor.
#include <string>
#include <vector>

struct heard_clicks {
    std::vector<double> offsets_ms; // per click: heard minus reported, in milliseconds
    std::string error;              // empty when every click was found
    // The recording's moments of playing as the record stream's latency gives them, against
    // the same from its time (pa_stream_get_time): the largest difference, in milliseconds.
    double method_disagreement_ms = 0;
};

// `mp3`: a file of clicks (click_samples) whose first frames are `click_frames`.
// `monitor`: the source to record. `latency_msec`: PULSE_LATENCY_MSEC for the show's stream
// only (null: libpulse's default).
heard_clicks measure_heard_clicks(const std::string &mp3, const std::vector<long> &click_frames,
                                  const char *monitor, const char *latency_msec);
