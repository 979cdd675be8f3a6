// QORICON: the product's icons, images of the language module (ICON resources of qorlang.rc):
// QORFAX the application, QORHAPPY a job that went well, QORSAD a job that failed.
#pragma once

#include "qorwindow.h"

// The icon of that name (without regard to case), or null when the language module has none.
// Icons are shared: the same name gives the same handle, and DestroyIcon leaves it.
HICON IC_loadicon(const char* name);
