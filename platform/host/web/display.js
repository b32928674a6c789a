// The browser half of the web display host (platform/host/web/display.cpp): the canvas, the
// emulated display's 60 Hz blank on the page's animation frames, keys, visibility and dialogs.
// Included in the module's scope (--pre-js); the page hands over Module.canvas.
var ulvo_display = {
  canvas: null,
  events: [], // [type, value, down]: host_event_key 4, host_event_focus 2, host_event_close 1
  frame_canvas: null, // the frame as the program made it
  sharp_canvas: null, // the frame at a whole multiple of its size
  latest: null, // the last frame handed over, and where it goes
  drawn: true,
  flips: 0,
  waiters: [], // flips waiting for the emulated display's next blank
  next_blank: null,
  animation: 0,
  listeners: [],
  wake_lock: null,
  fullscreen: false, // the page is in the browser's full screen

  // KeyboardEvent.code to host_key (platform/host/display.h).
  key_of: function (code) {
    const named = { Escape: 1, Enter: 2, NumpadEnter: 2, Space: 3, Tab: 4, Backspace: 5, ArrowLeft: 6,
      ArrowUp: 7, ArrowRight: 8, ArrowDown: 9, ShiftLeft: 10, ShiftRight: 10, ControlLeft: 11,
      ControlRight: 11, AltLeft: 12, AltRight: 12 };
    if (code in named) return named[code];
    let m = /^Digit([0-9])$/.exec(code);
    if (m) return 0x100 + Number(m[1]);
    m = /^Key([A-Z])$/.exec(code);
    if (m) return 0x200 + m[1].charCodeAt(0) - 65;
    m = /^F([0-9]+)$/.exec(code);
    if (m && Number(m[1]) >= 1 && Number(m[1]) <= 12) return 0x300 + Number(m[1]) - 1;
    return 0;
  },

  listen: function (target, name, handler) {
    target.addEventListener(name, handler);
    this.listeners.push([target, name, handler]);
  },

  open: function (title) {
    const canvas = Module['canvas'];
    if (!canvas) return 0;
    this.canvas = canvas;
    this.frame_canvas = document.createElement('canvas');
    this.sharp_canvas = document.createElement('canvas');
    const keys = (down) => (e) => {
      const key = this.key_of(e.code);
      if (!key || e.repeat) return;
      e.preventDefault();
      this.events.push([4, key, down]);
    };
    this.listen(window, 'keydown', keys(1));
    this.listen(window, 'keyup', keys(0));
    // A hidden tab is an application that lost the focus; shown again, it has it back.
    this.listen(document, 'visibilitychange', () => this.events.push([2, document.hidden ? 0 : 1, 0]));
    // The browser takes the first Escape to leave its full screen; that ends the show too.
    // Only a full screen this show has seen counts (a page may still be leaving an earlier
    // one as the show starts).
    this.fullscreen = !!document.fullscreenElement;
    this.listen(document, 'fullscreenchange', () => {
      if (document.fullscreenElement) this.fullscreen = true;
      else if (this.fullscreen) {
        this.fullscreen = false;
        this.events.push([4, 1, 1], [4, 1, 0]);
      }
    });
    this.listen(window, 'pagehide', () => this.events.push([1, 0, 0]));
    if (navigator.wakeLock)
      navigator.wakeLock.request('screen').then((lock) => (this.wake_lock = lock), () => {});
    const tick = (time) => {
      this.animation = requestAnimationFrame(tick);
      this.refresh(time);
    };
    this.animation = requestAnimationFrame(tick);
    return 1;
  },

  close: function () {
    cancelAnimationFrame(this.animation);
    // (Written without destructuring, which Emscripten's own JavaScript optimiser mangles.)
    for (const listener of this.listeners) listener[0].removeEventListener(listener[1], listener[2]);
    this.listeners = [];
    if (this.wake_lock) this.wake_lock.release();
    this.release_waiters();
  },

  client_size: function () {
    return this.canvas ? [this.canvas.clientWidth, this.canvas.clientHeight] : [0, 0];
  },

  frame: function (rgba, width, height, x, y, w, h) {
    const image = new ImageData(new Uint8ClampedArray(rgba), width, height);
    this.latest = { image: image, x: x, y: y, w: w, h: h };
    this.drawn = false;
    this.flips++;
  },

  // Each animation frame shows the latest frame, and lets the flips waiting for the
  // emulated 60 Hz blank go: on a 60 Hz display every frame, on a faster one every blank
  // that has come due.
  refresh: function (time) {
    const period = 1000 / 60;
    if (this.next_blank === null || time > this.next_blank + period) this.next_blank = time;
    if (time >= this.next_blank - period / 4) {
      this.next_blank += period;
      this.release_waiters();
    }
    this.draw();
  },

  release_waiters: function () {
    const waiting = this.waiters;
    this.waiters = [];
    for (const resolve of waiting) resolve();
  },

  vertical_blank: function () {
    return new Promise((resolve) => {
      this.waiters.push(resolve);
      // A display slower than 60 Hz does not come round before every emulated blank, and a
      // hidden page has no animation frames at all: then the blank comes by the clock, half
      // a frame late at most, so that the show still flips 60 times a second.
      const period = 1000 / 60;
      const now = performance.now();
      if (this.next_blank !== null && now > this.next_blank + period) this.next_blank = now;
      const wait = this.next_blank === null ? 100 : this.next_blank + period / 2 - now;
      setTimeout(() => {
        if (!this.waiters.includes(resolve)) return;
        if (this.next_blank !== null) this.next_blank += period;
        this.release_waiters();
      }, Math.min(100, Math.max(0, wait)));
    });
  },

  wait_while_hidden: function () {
    return new Promise((resolve) => {
      const shown = () => {
        document.removeEventListener('visibilitychange', shown);
        resolve();
      };
      document.addEventListener('visibilitychange', shown);
      setTimeout(shown, 250);
    });
  },

  // As the native host: the frame at 4:3 filling the height, centred on black,
  // nearest-neighbour to the largest whole multiple, then smooth to the final size.
  draw: function () {
    const canvas = this.canvas;
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    const resized = canvas.width !== width || canvas.height !== height;
    if (resized) {
      canvas.width = width;
      canvas.height = height;
    }
    if (!this.latest || (this.drawn && !resized)) return;
    this.drawn = true;
    const latest = this.latest;
    const image = latest.image;
    let dx, dy, dw, dh;
    if (latest.w > 0 && latest.h > 0) {
      dx = latest.x * ratio;
      dy = latest.y * ratio;
      dw = latest.w * ratio;
      dh = latest.h * ratio;
    } else {
      dh = height;
      dw = Math.round((height * 4) / 3);
      if (dw > width) {
        dw = width;
        dh = Math.round((width * 3) / 4);
      }
      dx = Math.floor((width - dw) / 2);
      dy = Math.floor((height - dh) / 2);
    }
    const small = this.frame_canvas;
    if (small.width !== image.width || small.height !== image.height) {
      small.width = image.width;
      small.height = image.height;
    }
    small.getContext('2d').putImageData(image, 0, 0);
    const multiple = Math.max(1, Math.min(Math.floor(dw / image.width), Math.floor(dh / image.height)));
    const sharp = this.sharp_canvas;
    if (sharp.width !== image.width * multiple || sharp.height !== image.height * multiple) {
      sharp.width = image.width * multiple;
      sharp.height = image.height * multiple;
    }
    const sharp_context = sharp.getContext('2d');
    sharp_context.imageSmoothingEnabled = false;
    sharp_context.drawImage(small, 0, 0, sharp.width, sharp.height);
    const context = canvas.getContext('2d', { alpha: false });
    context.fillStyle = '#000';
    context.fillRect(0, 0, width, height);
    context.imageSmoothingEnabled = !(dw === sharp.width && dh === sharp.height);
    context.imageSmoothingQuality = 'high';
    context.drawImage(sharp, dx, dy, dw, dh);
  },

  show_cursor: function (visible) {
    if (this.canvas) this.canvas.style.cursor = visible ? '' : 'none';
  },

  // The page's dialog where it has one; the browser's own otherwise.
  message_box: function (text, caption) {
    if (Module['messageBox']) return Module['messageBox'](text, caption);
    window.alert(caption + '\n\n' + text);
    return Promise.resolve();
  },

  // For the page's tests: the last frame the program flipped, as RGBA.
  last_frame: function () {
    return this.latest ? this.latest.image : null;
  },
};
Module['display'] = ulvo_display;
