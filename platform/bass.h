#pragma once
// The audio library the show plays its music with: an output device, an MP3 stream read
// from a file, and the stream's playback position, which is the show's clock.
// It sits beside windows.h on Windows, so it declares no Windows names of its own.
#include <cstdint>

using HSTREAM = std::uint32_t; // 0 is never a stream
using QWORD = std::uint64_t;

// Opens output device `device` (1: the system's default output) at 44100 Hz, stereo,
// 16-bit. `freq`, `flags`, `window` and `clsid` are accepted and not needed: the output
// is always 44100 Hz stereo 16-bit. Returns 1, or 0 when no output device can be opened.
int BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void *window, const void *clsid);

// Opens an MP3 stream (MPEG 1, 2 or 2.5, layer I, II or III). With `mem` 0, `file` is a
// file name; otherwise it points at the file's bytes in memory, which must stay valid
// while the stream exists. `offset` and `length` choose a part of it (length 0: to the
// end of a file). `flags` is not needed. Returns the stream's handle, or 0 for a missing,
// empty or undecodable file.
HSTREAM BASS_StreamCreateFile(int mem, const void *file, QWORD offset, QWORD length,
                              std::uint32_t flags);

// Starts the output. Returns 1, or 0 before a successful BASS_Init.
int BASS_Start();

// Plays a stream; with `flush` non-zero (or when it has not played yet) from its
// beginning, with the position back at 0. `flags` is not needed. Returns 1, or 0 for a
// handle that is not a stream or before a successful BASS_Init.
int BASS_StreamPlay(HSTREAM handle, int flush, std::uint32_t flags);

// The bytes of the stream's audio that have been played, as 44100 Hz stereo 16-bit
// whatever the file holds (176400 bytes per second): 0 until it plays, then advancing
// smoothly, never backwards, and never past what the output has been given; the stream's
// length once it has ended. (QWORD)-1 for a handle that is not a stream.
QWORD BASS_ChannelGetPosition(std::uint32_t handle);
