// QORUT: help topics, shown by the UI driver.
#include "qorui.h"
#include "qorut.h"

int16_t UT_help(uint32_t, HWND owner, int16_t number) {
    qorui::driver().help(owner, number);
    return 0;
}
