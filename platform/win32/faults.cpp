#include "platform/win32/faults.h"

namespace {
win32_fault armed = win32_fault::none;
} // namespace

void win32_fail_next(win32_fault fault) {
    armed = fault;
}

bool win32_should_fail(win32_fault fault) {
    if (fault == win32_fault::none || armed != fault)
        return false;
    armed = win32_fault::none;
    return true;
}
