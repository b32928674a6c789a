// USER: window classes, windows, the one message queue, the cursor and the key state. The
// host supplies the real windows and the events that become messages here.
#include "platform/win32/user.h"
#include "platform/win32/services.h"
#include "platform/win32/screen.h"

#include "platform/host/display.h"

#include <cctype>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

struct HWND__ {
    std::string class_name;
    HINSTANCE instance;
    WNDPROC proc;
    DWORD style;
    int host_window; // 0 while not shown
    RECT client;     // on the screen, for windows without a host window
    bool paint_pending;
};

struct HICON__ {
    int id;
};

namespace {

struct window_class_entry {
    std::string name;
    WNDCLASSA wc;
    ATOM atom;
};

std::vector<window_class_entry> classes;
std::vector<HWND__ *> windows;
std::deque<MSG> queue;
HWND active_window = nullptr;
bool quit_posted = false;
int quit_code = 0;
ATOM next_atom = 0xC000;
int cursor_count = 0;
HICON__ arrow_cursor = {32512};

// Per virtual key: bit 15 down now, bit 0 pressed since the last query.
unsigned char key_down[256];
unsigned char key_pressed[256];

// Frame sizes that AdjustWindowRect adds and CreateWindowExA takes off again.
const int thick_frame = 8;
const int thin_frame = 1;
const int caption_height = 23;

bool same_name(const std::string &a, const char *b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == 0;
}

window_class_entry *find_class(const char *name, HINSTANCE instance) {
    for (window_class_entry &c : classes)
        if (same_name(c.name, name) && c.wc.hInstance == instance)
            return &c;
    return nullptr;
}

bool is_window(HWND window) {
    for (HWND__ *w : windows)
        if (w == window)
            return true;
    return false;
}

HWND window_of_host(int host_window) {
    for (HWND__ *w : windows)
        if (w->host_window == host_window)
            return w;
    return nullptr;
}

void frame_margins(DWORD style, RECT *margins) {
    int border = 0;
    if (style & WS_THICKFRAME)
        border = thick_frame;
    else if (style & (WS_BORDER | WS_DLGFRAME))
        border = thin_frame;
    margins->left = border;
    margins->right = border;
    margins->bottom = border;
    margins->top = border + ((style & WS_CAPTION) == WS_CAPTION ? caption_height : 0);
}

DWORD tick_count() {
    using namespace std::chrono;
    return static_cast<DWORD>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void post(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = tick_count();
    queue.push_back(msg);
}

LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return window->proc(window, message, wparam, lparam);
}

void set_active(HWND window) {
    if (window == active_window)
        return;
    HWND previous = active_window;
    active_window = window;
    if (previous) {
        ddraw_activation_changed(previous, 0);
        post(previous, WM_ACTIVATEAPP, FALSE, 0);
    }
    if (window) {
        ddraw_activation_changed(window, 1);
        post(window, WM_ACTIVATEAPP, TRUE, 0);
    }
}

// The virtual-key code of a host's key; 0 for one that has none here.
int virtual_key(int key) {
    if (key >= host_key_a && key < host_key_a + 26)
        return 'A' + (key - host_key_a);
    if (key >= host_key_0 && key < host_key_0 + 10)
        return '0' + (key - host_key_0);
    if (key >= host_key_f1 && key < host_key_f1 + 12)
        return 0x70 + (key - host_key_f1); // VK_F1 onwards
    switch (key) {
    case host_key_escape:
        return VK_ESCAPE;
    case host_key_return:
        return VK_RETURN;
    case host_key_space:
        return VK_SPACE;
    case host_key_tab:
        return VK_TAB;
    case host_key_backspace:
        return VK_BACK;
    case host_key_left:
        return VK_LEFT;
    case host_key_up:
        return VK_UP;
    case host_key_right:
        return VK_RIGHT;
    case host_key_down:
        return VK_DOWN;
    case host_key_shift:
        return VK_SHIFT;
    case host_key_control:
        return VK_CONTROL;
    case host_key_alt:
        return VK_MENU;
    default:
        return 0;
    }
}

// Turns what the host has seen since the last call into messages and key state.
void take_host_events() {
    host_event event;
    while (host_display.poll_event(&event)) {
        HWND window = window_of_host(event.window);
        switch (event.type) {
        case host_event_close:
            if (window)
                post(window, WM_CLOSE, 0, 0);
            break;
        case host_event_focus:
            if (event.value)
                set_active(window);
            else if (window == active_window)
                set_active(nullptr);
            break;
        case host_event_expose:
            if (window && !window->paint_pending) {
                window->paint_pending = true;
                post(window, WM_PAINT, 0, 0);
            }
            break;
        case host_event_key: {
            const int vk = virtual_key(event.value);
            if (vk == 0)
                break;
            if (event.down) {
                key_pressed[vk] = 1;
                key_down[vk] = 1;
            } else {
                key_down[vk] = 0;
            }
            // The window with the focus gets the key; bit 31 marks a release.
            if (window) {
                LPARAM lparam = event.down ? 1 : static_cast<LPARAM>(0xC0000001u);
                post(window, event.down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk), lparam);
            }
            break;
        }
        default:
            break;
        }
    }
}

bool matches(const MSG &msg, HWND window, UINT first, UINT last) {
    if (window && msg.hwnd != window)
        return false;
    if (first == 0 && last == 0)
        return true;
    return msg.message >= first && msg.message <= last;
}

} // namespace

int user_host_window(HWND window) {
    return is_window(window) ? window->host_window : 0;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA *window_class) {
    if (!window_class || !window_class->lpszClassName || !window_class->lpfnWndProc)
        return 0;
    if (find_class(window_class->lpszClassName, window_class->hInstance))
        return 0;
    window_class_entry entry;
    entry.name = window_class->lpszClassName;
    entry.wc = *window_class;
    entry.wc.lpszClassName = nullptr; // the entry keeps its own copy of the name
    entry.wc.lpszMenuName = nullptr;
    entry.atom = next_atom++;
    classes.push_back(entry);
    return classes.back().atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR class_name, HINSTANCE instance) {
    if (!class_name)
        return FALSE;
    for (std::size_t i = 0; i < classes.size(); ++i) {
        if (!same_name(classes[i].name, class_name) || classes[i].wc.hInstance != instance)
            continue;
        // A class cannot go while windows of it remain.
        for (HWND__ *w : windows)
            if (same_name(w->class_name, class_name) && w->instance == instance)
                return FALSE;
        classes.erase(classes.begin() + static_cast<std::ptrdiff_t>(i));
        return TRUE;
    }
    return FALSE;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y,
                            int width, int height, HWND, HMENU, HINSTANCE instance, LPVOID) {
    if (!class_name)
        return nullptr;
    window_class_entry *entry = find_class(class_name, instance);
    if (!entry)
        return nullptr;

    RECT margins;
    frame_margins(style, &margins);
    int client_w = width - margins.left - margins.right;
    int client_h = height - margins.top - margins.bottom;
    if (client_w < 0)
        client_w = 0;
    if (client_h < 0)
        client_h = 0;

    HWND__ *window = new HWND__{entry->name,
                                instance,
                                entry->wc.lpfnWndProc,
                                style,
                                0,
                                {x + margins.left, y + margins.top, x + margins.left + client_w,
                                 y + margins.top + client_h},
                                false};
    windows.push_back(window);
    if (send(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }

    if (style & WS_VISIBLE) {
        int flags = 0;
        if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_THICKFRAME))
            flags |= host_window_decorated;
        screen_mode mode = screen_current_mode();
        if (!(flags & host_window_decorated) && x == 0 && y == 0 && client_w == mode.width &&
            client_h == mode.height)
            flags |= host_window_covers_screen;
        window->host_window = host_display.window_open(
            title ? title : "", window->client.left, window->client.top, client_w, client_h, flags);
        if (!window->host_window) {
            DestroyWindow(window);
            return nullptr;
        }
        window->paint_pending = true;
        post(window, WM_PAINT, 0, 0);
        // A new visible top-level window becomes the active one.
        set_active(window);
    }
    return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (!is_window(window))
        return FALSE;
    send(window, WM_DESTROY, 0, 0);
    if (window == active_window)
        set_active(nullptr);
    if (window->host_window)
        host_display.window_close(window->host_window);
    for (std::size_t i = 0; i < queue.size();) {
        if (queue[i].hwnd == window)
            queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (windows[i] == window) {
            windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    delete window;
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!is_window(window))
        return 0;
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT:
        window->paint_pending = false;
        return 0;
    case WM_SYSCOMMAND:
        switch (wparam & 0xFFF0) {
        case SC_CLOSE:
            return send(window, WM_CLOSE, 0, 0);
        case SC_SCREENSAVE:
            host_display.screen_saver(0);
            return 0;
        case SC_MONITORPOWER:
            // lParam 2 powers the monitor off, 1 to low power, -1 on again.
            if (lparam == 1 || lparam == 2)
                host_display.screen_saver(1);
            return 0;
        default:
            return 0;
        }
    default:
        return 0;
    }
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    if (!msg)
        return FALSE;
    take_host_events();
    for (std::size_t i = 0; i < queue.size(); ++i) {
        if (!matches(queue[i], window, first, last))
            continue;
        *msg = queue[i];
        if (remove & PM_REMOVE)
            queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
        return TRUE;
    }
    // The quit comes once everything posted before it has been taken.
    if (quit_posted && (first == 0 || (first <= WM_QUIT && WM_QUIT <= last))) {
        MSG quit = {};
        quit.message = WM_QUIT;
        quit.wParam = static_cast<WPARAM>(quit_code);
        quit.time = tick_count();
        *msg = quit;
        if (remove & PM_REMOVE)
            quit_posted = false;
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG *msg) {
    if (!msg || msg->message != WM_KEYDOWN || !is_window(msg->hwnd))
        return FALSE;
    int vk = static_cast<int>(msg->wParam);
    int ch = 0;
    if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_SPACE)
        ch = vk;
    else if ((vk >= '0' && vk <= '9'))
        ch = vk;
    else if (vk >= 'A' && vk <= 'Z')
        ch = vk - 'A' + 'a';
    if (!ch)
        return FALSE;
    post(msg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), msg->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
    if (!msg || !is_window(msg->hwnd))
        return 0;
    return send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exit_code) {
    quit_posted = true;
    quit_code = exit_code;
}

SHORT WINAPI GetAsyncKeyState(int key) {
    if (key < 0 || key > 255)
        return 0;
    take_host_events();
    int state = (key_down[key] ? 0x8000 : 0) | (key_pressed[key] ? 1 : 0);
    key_pressed[key] = 0;
    return static_cast<SHORT>(state);
}

int WINAPI ShowCursor(BOOL show) {
    cursor_count += show ? 1 : -1;
    host_display.show_cursor(cursor_count >= 0);
    return cursor_count;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Only the system's arrow is built in; programs here carry no cursor resources.
    if (instance == nullptr && name == IDC_ARROW)
        return &arrow_cursor;
    return nullptr;
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    if (!rect)
        return FALSE;
    RECT margins;
    frame_margins(style, &margins);
    rect->left -= margins.left;
    rect->top -= margins.top + (menu ? 20 : 0);
    rect->right += margins.right;
    rect->bottom += margins.bottom;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) {
    if (!is_window(window) || !point)
        return FALSE;
    host_rect client = {window->client.left, window->client.top, 0, 0};
    if (window->host_window)
        host_display.window_client(window->host_window, &client);
    point->x += client.x;
    point->y += client.y;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    if (!is_window(window) || !rect)
        return FALSE;
    host_rect client = {0, 0, window->client.right - window->client.left,
                        window->client.bottom - window->client.top};
    if (window->host_window)
        host_display.window_client(window->host_window, &client);
    rect->left = 0;
    rect->top = 0;
    rect->right = client.w;
    rect->bottom = client.h;
    return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect)
        return FALSE;
    rect->left = left;
    rect->top = top;
    rect->right = right;
    rect->bottom = bottom;
    return TRUE;
}

HWND WINAPI GetForegroundWindow() {
    take_host_events();
    return active_window;
}

namespace {

// The look a message box's icon bits ask for.
host_box_kind box_kind(UINT type) {
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return host_box_error;
    case MB_ICONQUESTION:
        return host_box_question;
    case MB_ICONWARNING:
        return host_box_warning;
    case MB_ICONINFORMATION:
        return host_box_information;
    default:
        return host_box_plain;
    }
}

} // namespace

int WINAPI MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type) {
    HWND owner = is_window(window) ? window : active_window;
    host_display.message_box(owner ? owner->host_window : 0, text ? text : "", caption,
                             box_kind(type));
    return IDOK;
}
