// The failures that tests inject into the Win32 layer.
#include "platform/win32/faults.h"

#include <bitset>

namespace {
win32_fault armed = win32_fault::none;
std::bitset<16> standing;

std::size_t bit(win32_fault fault) {
    return static_cast<std::size_t>(fault);
}
} // namespace

void win32_fail_next(win32_fault fault) {
    armed = fault;
}

void win32_fail_always(win32_fault fault, bool fail) {
    standing.set(bit(fault), fail && fault != win32_fault::none);
}

void win32_faults_clear() {
    armed = win32_fault::none;
    standing.reset();
}

bool win32_should_fail(win32_fault fault) {
    if (fault == win32_fault::none)
        return false;
    if (standing.test(bit(fault)))
        return true;
    if (armed != fault)
        return false;
    armed = win32_fault::none;
    return true;
}
