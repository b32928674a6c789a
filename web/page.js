// The web show's page: it fetches the show's files, takes the viewer's own in their place,
// starts a fresh instance of the program on each play (its state is static, as a second run
// of the native program starts afresh), and shows its message box and its end.
'use strict';

const show_names = ['ulvo.gif'];
for (let i = 0; i < 29; i++) show_names.push(String(i).padStart(2, '0') + '.jpg');
show_names.push('ulvo.mp3');

const element = (id) => document.getElementById(id);
const start_screen = element('start');
const end_screen = element('end');
const stage = element('stage');
const canvas = element('screen');

// For the page's tests: the running instance of the program.
window.ulvo = { instance: null, exit_code: null, play_time: null, music_decoded: false };

const served = new Map(); // the show's own files, as fetched
const own = new Map(); // the viewer's, which replace those of the same name
const fetched = Promise.all(
  show_names.map(async (name) => {
    try {
      const response = await fetch('data/' + name);
      if (response.ok) served.set(name, new Uint8Array(await response.arrayBuffer()));
    } catch (e) {
      // A file that cannot be fetched is missing, as a missing file is to the program.
    }
  }),
);

function show_files() {
  const files = new Map(served);
  for (const [name, bytes] of own) files.set(name, bytes);
  return files;
}

// Decoding two minutes of MP3 takes the browser a while, so the music is decoded ahead of
// play, once for each file's bytes; the program's audio library asks here first.
const decodes = [];

function same_bytes(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) return false;
  return true;
}

function decode_audio(bytes) {
  for (const d of decodes) if (same_bytes(d.bytes, bytes)) return d.promise;
  const copy = bytes.slice(); // decodeAudioData takes its buffer away
  const promise = new OfflineAudioContext(2, 1, 44100).decodeAudioData(copy.buffer);
  promise.catch(() => {});
  decodes.push({ bytes: bytes.slice(), promise: promise });
  return promise;
}

// The pictures likewise, with the program's own decoding (decode.js); but only those whose
// header gives a size within the decoders' limits, since the browser would spend its main
// thread on an enormous one. The program checks every file itself.
const picture_decodes = [];

function picture_size(b) {
  const be16 = (i) => (b[i] << 8) | b[i + 1];
  const le16 = (i) => b[i] | (b[i + 1] << 8);
  if (b.length >= 10 && b[0] === 0x47 && b[1] === 0x49 && b[2] === 0x46) return [le16(6), le16(8)];
  if (b.length >= 26 && b[0] === 0x42 && b[1] === 0x4d) {
    const view = new DataView(b.buffer, b.byteOffset, b.byteLength);
    return view.getUint32(14, true) === 12 ? [le16(18), le16(20)] : [view.getInt32(18, true), Math.abs(view.getInt32(22, true))];
  }
  if (b.length >= 4 && b[0] === 0xff && b[1] === 0xd8) {
    for (let at = 2; at + 9 <= b.length && b[at] === 0xff; at += 2 + be16(at + 2)) {
      const marker = b[at + 1];
      if (marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc)
        return [be16(at + 7), be16(at + 5)];
    }
  }
  return null;
}

function predecode_picture(bytes) {
  const size = picture_size(bytes);
  if (size && size[0] > 0 && size[1] > 0 && size[0] <= 16384 && size[1] <= 16384 && size[0] * size[1] * 4 <= 256 * 1024 * 1024)
    decode_picture(bytes);
}

function decode_picture(bytes) {
  for (const d of picture_decodes) if (same_bytes(d.bytes, bytes)) return d.promise;
  const promise = ulvo_decode_picture(bytes);
  picture_decodes.push({ bytes: bytes.slice(), promise: promise });
  return promise;
}

// The program too: its WebAssembly, fetched once for every play.
const program = fetch('ulvo.wasm').then((r) => (r.ok ? r.arrayBuffer() : null)).catch(() => null);

fetched.then(() => {
  const files = show_files();
  const music = files.get('ulvo.mp3');
  if (music) decode_audio(music).then(() => (window.ulvo.music_decoded = true), () => {});
  for (const [name, bytes] of files) if (name !== 'ulvo.mp3') predecode_picture(bytes);
});

// The program's message box: a modal dialog with the text and one OK button.
function message_box(text, caption) {
  const box = element('box');
  element('box-caption').textContent = caption;
  element('box-text').textContent = text;
  return new Promise((resolve) => {
    box.addEventListener('close', () => resolve(), { once: true });
    box.showModal();
    element('box-ok').focus();
  });
}

let audio_context = null;
let running = false;

async function play() {
  if (running) return;
  running = true;
  window.ulvo.instance = null;
  window.ulvo.exit_code = null;
  window.ulvo.play_time = performance.now();
  // Both need the viewer's gesture, so they are asked for here, before anything waits.
  audio_context = new AudioContext({ sampleRate: 44100 });
  audio_context.resume();
  start_screen.hidden = true;
  end_screen.hidden = true;
  stage.hidden = false;
  if (element('fullscreen').checked && stage.requestFullscreen)
    stage.requestFullscreen().catch(() => {});
  await fetched;
  const files = show_files();
  const wasm = await program;
  createUlvo({
    canvas: canvas,
    audioContext: audio_context,
    wasmBinary: wasm || undefined,
    decodeAudio: decode_audio,
    decodePicture: decode_picture,
    messageBox: message_box,
    preRun: [
      (module) => {
        window.ulvo.instance = module;
        module.FS.mkdir('/data');
        for (const [name, bytes] of files) module.FS.writeFile('/data/' + name, bytes);
      },
    ],
    ended: ended,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
  });
}

function ended(code) {
  const instance = window.ulvo.instance;
  if (instance) {
    instance.display.close();
    instance.audio.stop();
  }
  if (audio_context) audio_context.close();
  audio_context = null;
  window.ulvo.exit_code = code;
  stage.hidden = true;
  element('end-heading').textContent = code === 0 ? 'The show has ended.' : 'The show stopped.';
  end_screen.hidden = false;
  running = false;
  // Outside the full-screen element nothing takes the focus: leave full screen first.
  const focus = () => element('again').focus();
  if (document.fullscreenElement) document.exitFullscreen().then(focus, focus);
  else focus();
}

element('play').addEventListener('click', play);
element('again').addEventListener('click', play);

// Enter or Space starts the show from anywhere on the start screen.
document.addEventListener('keydown', (e) => {
  if (start_screen.hidden || running || e.repeat) return;
  if (e.target instanceof HTMLInputElement || e.target instanceof HTMLButtonElement) return;
  if (e.code === 'Enter' || e.code === 'NumpadEnter' || e.code === 'Space') {
    e.preventDefault();
    play();
  }
});

// The viewer's own files: read here, kept while the page is open, never sent anywhere.
async function take_files(list) {
  const taken = [];
  const ignored = [];
  for (const file of list) {
    const name = file.name.toLowerCase();
    if (!show_names.includes(name)) {
      ignored.push(file.name);
      continue;
    }
    own.set(name, new Uint8Array(await file.arrayBuffer()));
    taken.push(name);
    if (name === 'ulvo.gif') element('title-picture').src = URL.createObjectURL(file);
    if (name === 'ulvo.mp3') decode_audio(own.get(name));
    else predecode_picture(own.get(name));
  }
  let text = own.size ? 'Your files: ' + [...own.keys()].sort().join(', ') + '.' : '';
  if (ignored.length) text += ' Not the show\u2019s names, so left out: ' + ignored.join(', ') + '.';
  element('replaced').textContent = text;
  return taken;
}

element('files').addEventListener('change', (e) => take_files(e.target.files));
document.addEventListener('dragover', (e) => {
  if (start_screen.hidden) return;
  e.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (e) => {
  e.preventDefault();
  document.body.classList.remove('dragging');
  if (!start_screen.hidden && e.dataTransfer) take_files(e.dataTransfer.files);
});
