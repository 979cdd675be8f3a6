// How the library calls its sibling libraries: the platform's headers, in one place.
#pragma once

#include "qorbd.h"
#include "qorlang.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorui.h"
#include "qorul.h"
#include "qorut.h"
#include "qorux.h"
#include "qorvq.h"
#include "qorwin32.h"
