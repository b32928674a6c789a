#include "show/show.h"

int main() {
    return show_main();
}
