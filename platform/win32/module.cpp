// Modules: the program itself, and the built-in ddraw.dll in place of the system's.
#include "platform/win32/module.h"
#include "platform/win32/ddraw.h"
#include "platform/win32/faults.h"

#include <cctype>
#include <cstring>
#include <string>

struct HINSTANCE__ {
    const char *name; // lower case, with its extension
    int loads;
};

namespace {

HINSTANCE__ program_module = {"ulvo.exe", 1};
HINSTANCE__ ddraw_module = {"ddraw.dll", 0};

// Windows compares module names without case and adds ".dll" to a name without extension.
std::string canonical_name(const char *name) {
    std::string result;
    for (const char *c = name; *c; ++c)
        result += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    std::size_t slash = result.find_last_of("/\\");
    if (slash != std::string::npos)
        result.erase(0, slash + 1);
    if (result.find('.') == std::string::npos)
        result += ".dll";
    return result;
}

bool is_ddraw(const char *name) {
    return canonical_name(name) == ddraw_module.name;
}

} // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!name)
        return &program_module;
    if (is_ddraw(name) && ddraw_module.loads > 0)
        return &ddraw_module;
    return nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    if (!name || !is_ddraw(name) || win32_should_fail(win32_fault::load_ddraw))
        return nullptr;
    ++ddraw_module.loads;
    return &ddraw_module;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    if (module != &ddraw_module || ddraw_module.loads == 0)
        return nullptr;
    // Small values are export ordinals, not names; the built-in module exports by name only.
    if (reinterpret_cast<std::uintptr_t>(name) < 0x10000)
        return nullptr;
    if (std::strcmp(name, "DirectDrawCreate") == 0 &&
        !win32_should_fail(win32_fault::direct_draw_create))
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(DirectDrawCreate));
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    if (module != &ddraw_module || ddraw_module.loads == 0)
        return FALSE;
    --ddraw_module.loads;
    return TRUE;
}
