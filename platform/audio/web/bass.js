// The browser half of the web audio library (platform/audio/web/bass.cpp): the audio context,
// the decoded streams and their play clocks. Included in the module's scope (--pre-js).
var ulvo_audio = {
  context: null,
  streams: [], // handle = index + 1

  init: function () {
    try {
      // The page makes the context inside the viewer's gesture, so that it may sound.
      this.context = Module['audioContext'] || new AudioContext({ sampleRate: 44100 });
      Module['audioContext'] = this.context;
      return 1;
    } catch (e) {
      return 0;
    }
  },

  // The page may hand a decoder of its own that remembers what it decoded before.
  decode_bytes: function (bytes) {
    if (Module['decodeAudio']) return Module['decodeAudio'](bytes);
    const context = this.context || new OfflineAudioContext(2, 1, 44100);
    return context.decodeAudioData(bytes.buffer);
  },

  // Decodes the file; trims the encoder's delay and padding (with the decoder's own 529
  // samples) where the browser kept them, as the length shows. Returns the handle, or 0.
  decode: async function (bytes, rate, frames, frame_samples, delay, padding) {
    let buffer;
    try {
      buffer = await this.decode_bytes(bytes);
    } catch (e) {
      return 0;
    }
    if (!buffer || buffer.length === 0) return 0;
    if (frames > 0 && delay >= 0 && padding >= 0) {
      const scale = buffer.sampleRate / rate;
      const full = frames * frame_samples;
      const trimmed = full - delay - padding;
      const near = (length, samples) => Math.abs(length - samples * scale) <= 2 + scale;
      let skip = -1;
      if (!near(buffer.length, trimmed)) {
        if (near(buffer.length, full)) skip = delay + 529;
        else if (near(buffer.length, full + frame_samples)) skip = frame_samples + delay + 529;
      }
      if (skip >= 0 && trimmed > 0) buffer = this.cut(buffer, Math.round(skip * scale), Math.round(trimmed * scale));
    }
    this.streams.push({ buffer: buffer, source: null, start: null, last: 0, read_time: null, read_frames: 0 });
    return this.streams.length;
  },

  cut: function (buffer, from, length) {
    length = Math.max(1, Math.min(length, buffer.length - from));
    const out = new AudioBuffer({ numberOfChannels: buffer.numberOfChannels, length: length, sampleRate: buffer.sampleRate });
    for (let c = 0; c < buffer.numberOfChannels; c++)
      out.copyToChannel(buffer.getChannelData(c).subarray(from, from + length), c);
    return out;
  },

  start: function () {
    this.context.resume();
    return 1;
  },

  play: function (handle, flush) {
    const s = this.streams[handle - 1];
    if (!s) return 0;
    if (flush || s.start === null) {
      if (s.source) s.source.stop();
      s.source = this.context.createBufferSource();
      s.source.buffer = s.buffer;
      s.source.connect(this.context.destination);
      s.start = this.context.currentTime;
      s.last = 0;
      s.read_time = null;
      s.source.start(s.start);
    }
    return 1;
  },

  // The context's time of the sample being heard now: the output's timestamp, carried on by
  // the page's clock. An output that renders in bursts (as a loaded machine makes it) updates
  // its timestamp unevenly, so between timestamps the time runs on smoothly; but no more than
  // 100 ms past the last one, which an output that has really stopped gives no more.
  heard_time: function () {
    const context = this.context;
    if (context.getOutputTimestamp) {
      const stamp = context.getOutputTimestamp();
      if (stamp.performanceTime > 0) {
        if (context.state !== 'running') return stamp.contextTime;
        return stamp.contextTime + Math.min(performance.now() - stamp.performanceTime, 100) / 1000;
      }
    }
    return context.currentTime - (context.outputLatency || context.baseLatency || 0);
  },

  // Sample frames heard (at 44100 a second), -1 for a handle that is not a stream. Between
  // reads the position runs on at the nominal rate, and follows the output's timestamps by at
  // most 1 ms of audio a read, so it moves smoothly; a larger difference (20 ms: a stall, or
  // an output that is not running) it takes at once, without ever going back.
  position: function (handle) {
    const s = this.streams[handle - 1];
    if (!s) return -1;
    if (s.start === null) return 0;
    const now = performance.now();
    const heard = (this.heard_time() - s.start) * 44100;
    let frames = heard;
    if (s.read_time !== null && this.context.state === 'running') {
      const run_on = s.read_frames + ((now - s.read_time) * 44100) / 1000;
      const behind = heard - run_on;
      if (Math.abs(behind) < 0.02 * 44100) frames = run_on + Math.max(-44.1, Math.min(44.1, behind));
    }
    s.read_time = now;
    s.read_frames = frames;
    const end = Math.round(s.buffer.duration * 44100);
    s.last = Math.max(s.last, Math.min(Math.max(Math.floor(frames), 0), end));
    return s.last;
  },

  // The page ends the sound when the program has ended.
  stop: function () {
    for (const s of this.streams) if (s.source) s.source.stop();
  },
};
Module['audio'] = ulvo_audio;
