#pragma once
// Beyond platform/bass.h: what tests need to start each case afresh.

// Closes the output device and frees every stream, so that the next BASS_Init opens the
// device again and handles count from the start. The show never calls it: it keeps the
// library to the end of the process, where the device is closed for it.
void bass_free_all();
