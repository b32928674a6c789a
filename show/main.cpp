#include "platform/winapi.h"

#include <cstdio>

int main() {
    std::fputs("ulvo: the show is not built yet\n", stderr);
    return 1;
}
