// The browser host's display: the frame on a page's canvas, the page's keys, its visibility
// as the focus, and message boxes as dialogs in the page. The JavaScript half is display.js
// beside this file; waiting (for the emulated display's blank, for a dialog's answer, for the
// tab to be shown again) hands the thread back to the browser through Asyncify.
#include "platform/host/display.h"

#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <vector>

// clang-format off
EM_JS(void, web_screen_size, (int *width, int *height), {
    HEAP32[width >> 2] = window.screen.width;
    HEAP32[height >> 2] = window.screen.height;
});
EM_JS(int, web_window_open, (const char *title), { return ulvo_display.open(UTF8ToString(title)); });
EM_JS(void, web_window_close, (), { ulvo_display.close(); });
EM_JS(void, web_window_size, (int *width, int *height), {
    const size = ulvo_display.client_size();
    HEAP32[width >> 2] = size[0];
    HEAP32[height >> 2] = size[1];
});
EM_JS(void, web_show_frame, (const std::uint8_t *rgba, int width, int height, int x, int y, int w, int h), {
    ulvo_display.frame(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height, x, y, w, h);
});
EM_ASYNC_JS(void, web_vertical_blank, (), { await ulvo_display.vertical_blank(); });
EM_JS(int, web_next_event, (int *type, int *value, int *down), {
    const event = ulvo_display.events.shift();
    if (!event) return 0;
    HEAP32[type >> 2] = event[0];
    HEAP32[value >> 2] = event[1];
    HEAP32[down >> 2] = event[2];
    return 1;
});
EM_JS(int, web_page_hidden, (), { return document.hidden ? 1 : 0; });
EM_ASYNC_JS(void, web_wait_while_hidden, (), { await ulvo_display.wait_while_hidden(); });
EM_JS(void, web_show_cursor, (int visible), { ulvo_display.show_cursor(visible); });
EM_ASYNC_JS(void, web_message_box, (const char *text, const char *caption), {
    await ulvo_display.message_box(UTF8ToString(text), UTF8ToString(caption));
});
// clang-format on

namespace {

// The one window: the page's canvas.
constexpr int canvas_window = 1;
bool open = false;
std::vector<std::uint8_t> rgba; // the frame as the canvas takes it

void web_desktop_mode(int *width, int *height, int *bits) {
    web_screen_size(width, height);
    *bits = 32;
}

// The canvas takes 32-bit pixels; the adapter offers those only.
int web_accepts_mode(int width, int height, int bits) {
    return width > 0 && height > 0 && bits == 32;
}

int web_open(const char *title, int, int, int, int, int) {
    if (open)
        return 0;
    open = web_window_open(title ? title : "") != 0;
    return open ? canvas_window : 0;
}

void web_close(int window) {
    if (window == canvas_window && open) {
        web_window_close();
        open = false;
    }
}

void web_client(int, host_rect *client) {
    client->x = 0;
    client->y = 0;
    web_window_size(&client->w, &client->h);
}

// The canvas fills the page in either case; the browser's own full screen is the viewer's
// choice on the page.
void web_fullscreen(int, int) {}

void web_present(int window, const host_frame *frame, const host_rect *dst) {
    if (window != canvas_window || frame->bits != 32 || frame->width <= 0 || frame->height <= 0)
        return;
    const std::size_t pixels = static_cast<std::size_t>(frame->width) * frame->height;
    rgba.resize(pixels * 4);
    const auto *row = static_cast<const std::uint8_t *>(frame->pixels);
    std::uint8_t *out = rgba.data();
    for (int y = 0; y < frame->height; ++y, row += frame->pitch) {
        // x8r8g8b8 in memory is b, g, r, x.
        for (int x = 0; x < frame->width; ++x, out += 4) {
            out[0] = row[x * 4 + 2];
            out[1] = row[x * 4 + 1];
            out[2] = row[x * 4];
            out[3] = 255;
        }
    }
    if (dst)
        web_show_frame(rgba.data(), frame->width, frame->height, dst->x, dst->y, dst->w, dst->h);
    else
        web_show_frame(rgba.data(), frame->width, frame->height, 0, 0, -1, -1);
    web_vertical_blank();
}

// An inactive full-screen show waits here instead of spinning.
void web_wait_vblank() {
    web_vertical_blank();
}

int web_poll_event(host_event *event) {
    int type = 0, value = 0, down = 0;
    if (!web_next_event(&type, &value, &down)) {
        // A hidden tab shows nothing: instead of spinning, give the browser its thread until
        // the tab is shown again (or a while has passed).
        if (open && web_page_hidden())
            web_wait_while_hidden();
        return 0;
    }
    event->type = type;
    event->window = canvas_window;
    event->value = value;
    event->down = down;
    return 1;
}

void web_cursor(int visible) {
    web_show_cursor(visible);
}

// The page keeps the screen awake while the show runs; nothing to start or stop here.
void web_screen_saver(int) {}

void web_box(int, const char *text, const char *caption, host_box_kind) {
    web_message_box(text ? text : "", caption ? caption : "Error");
}

} // namespace

const host_display_api host_display = {
    .desktop_mode = web_desktop_mode,
    .accepts_mode = web_accepts_mode,
    .window_open = web_open,
    .window_close = web_close,
    .window_client = web_client,
    .window_fullscreen = web_fullscreen,
    .present = web_present,
    .wait_vblank = web_wait_vblank,
    .poll_event = web_poll_event,
    .show_cursor = web_cursor,
    .screen_saver = web_screen_saver,
    .message_box = web_box,
};
