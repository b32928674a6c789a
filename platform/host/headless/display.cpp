// The headless display: an adapter that a test configures, input that a test scripts, and
// every presented frame kept for the test to read back.
#include "platform/host/headless/display_control.h"

#include <deque>

namespace {

struct window_entry {
    int id;
    headless_window_state state;
};

headless_config config = headless_default_config();
std::vector<headless_frame> frames;
std::vector<headless_message_box> boxes;
std::deque<host_event> events;
std::vector<window_entry> windows;
headless_counters counters = {};
int next_window = 1;
bool cursor_visible = true;
headless_present_hook present_hook = nullptr;
void *present_user = nullptr;

window_entry *find_window(int id) {
    for (window_entry &w : windows)
        if (w.id == id && w.state.open)
            return &w;
    return nullptr;
}

window_entry *latest_window() {
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (it->state.open)
            return &*it;
    return nullptr;
}

std::uint32_t expand(int bits, const unsigned char *p) {
    switch (bits) {
    case 32:
        return (p[0] | (p[1] << 8) | (p[2] << 16)) & 0xFFFFFFu;
    case 24:
        return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    case 16: {
        unsigned v = p[0] | (p[1] << 8);
        unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
    }
    case 15: {
        unsigned v = p[0] | (p[1] << 8);
        unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return ((r << 3 | r >> 2) << 16) | ((g << 3 | g >> 2) << 8) | (b << 3 | b >> 2);
    }
    default: // palette-indexed, shown as a grey ramp: no palette is ever set
        return static_cast<std::uint32_t>(p[0] * 0x010101u);
    }
}

void headless_desktop_mode(int *width, int *height, int *bits) {
    *width = config.desktop_width;
    *height = config.desktop_height;
    *bits = config.desktop_bits;
}

int headless_accepts_mode(int, int, int bits) {
    for (int b : config.mode_bits)
        if (b != 0 && b == bits)
            return 1;
    return 0;
}

int headless_window_open(const char *title, int x, int y, int w, int h, int flags) {
    window_entry entry;
    entry.id = next_window++;
    entry.state = {true,
                   title,
                   x,
                   y,
                   w,
                   h,
                   (flags & host_window_decorated) != 0,
                   (flags & host_window_covers_screen) != 0};
    windows.push_back(entry);
    return entry.id;
}

void headless_window_close(int id) {
    if (window_entry *w = find_window(id))
        w->state.open = false;
}

void headless_window_client(int id, host_rect *client) {
    if (window_entry *w = find_window(id))
        *client = {w->state.x, w->state.y, w->state.w, w->state.h};
}

void headless_window_fullscreen(int id, int on) {
    if (window_entry *w = find_window(id))
        w->state.fullscreen = on != 0;
}

void headless_present(int id, const host_frame *frame, const host_rect *dst) {
    // Nobody is looking: cost nothing, so that a benchmark measures only the caller.
    if (!present_hook && !config.keep_frames)
        return;
    window_entry *w = find_window(id);
    headless_frame f;
    f.width = frame->width;
    f.height = frame->height;
    f.bits = frame->bits;
    f.pitch = frame->pitch;
    const unsigned char *base = static_cast<const unsigned char *>(frame->pixels);
    f.bytes.assign(base, base + frame->size);
    int bytes_per_pixel = frame->bits == 15 ? 2 : frame->bits / 8;
    f.rgb.resize(static_cast<std::size_t>(frame->width) * static_cast<std::size_t>(frame->height));
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < frame->width; ++x)
            f.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(frame->width) +
                  static_cast<std::size_t>(x)] =
                expand(frame->bits,
                       base + static_cast<std::size_t>(y) * static_cast<std::size_t>(frame->pitch) +
                           static_cast<std::size_t>(x * bytes_per_pixel));
    f.fullscreen = dst == nullptr;
    f.client_w = w ? w->state.w : 0;
    f.client_h = w ? w->state.h : 0;
    if (dst) {
        f.dst_x = dst->x;
        f.dst_y = dst->y;
        f.dst_w = dst->w;
        f.dst_h = dst->h;
    } else {
        f.dst_x = 0;
        f.dst_y = 0;
        f.dst_w = frame->width;
        f.dst_h = frame->height;
    }
    if (present_hook)
        present_hook(f, present_user);
    if (config.keep_frames)
        frames.push_back(std::move(f));
}

int headless_poll_event(host_event *event) {
    if (events.empty())
        return 0;
    *event = events.front();
    events.pop_front();
    return 1;
}

void headless_show_cursor(int visible) {
    cursor_visible = visible != 0;
}

void headless_screen_saver(int power) {
    if (power)
        ++counters.monitor_power_downs;
    else
        ++counters.screen_saver_starts;
}

void headless_message_box_show(int, const char *text, const char *caption, host_box_kind kind) {
    boxes.push_back({text ? text : "", caption ? caption : "", caption == nullptr, kind});
}

void queue_event(int type, int value, int down) {
    window_entry *w = latest_window();
    events.push_back({type, w ? w->id : 0, value, down});
}

} // namespace

headless_config headless_default_config() {
    return headless_config{};
}

void headless_configure(const headless_config &c) {
    config = c;
}

void headless_reset() {
    frames.clear();
    boxes.clear();
    events.clear();
    counters = {};
}

void headless_key(host_key key, bool down) {
    queue_event(host_event_key, key, down);
}
void headless_escape(bool down) {
    headless_key(host_key_escape, down);
}
void headless_request_close() {
    queue_event(host_event_close, 0, 0);
}
void headless_focus(bool gained) {
    queue_event(host_event_focus, gained ? 1 : 0, 0);
}

void headless_resize(int client_w, int client_h) {
    if (window_entry *w = latest_window()) {
        w->state.w = client_w;
        w->state.h = client_h;
        queue_event(host_event_expose, 0, 0);
    }
}

const std::vector<headless_frame> &headless_frames() {
    return frames;
}
headless_counters headless_count() {
    return counters;
}
const std::vector<headless_message_box> &headless_message_boxes() {
    return boxes;
}

headless_window_state headless_window() {
    window_entry *w = latest_window();
    if (!w)
        return headless_window_state{false, "", 0, 0, 0, 0, false, false};
    return w->state;
}

int headless_open_windows() {
    int open = 0;
    for (const window_entry &w : windows)
        open += w.state.open ? 1 : 0;
    return open;
}

bool headless_cursor_visible() {
    return cursor_visible;
}

void headless_set_present_hook(headless_present_hook hook, void *user) {
    present_hook = hook;
    present_user = user;
}

const host_display_api host_display = {
    .desktop_mode = headless_desktop_mode,
    .accepts_mode = headless_accepts_mode,
    .window_open = headless_window_open,
    .window_close = headless_window_close,
    .window_client = headless_window_client,
    .window_fullscreen = headless_window_fullscreen,
    .present = headless_present,
    .poll_event = headless_poll_event,
    .show_cursor = headless_show_cursor,
    .screen_saver = headless_screen_saver,
    .message_box = headless_message_box_show,
};
