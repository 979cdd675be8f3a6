/*
 * libqorsf.so: the library's core linked whole, exporting the entry points of the symbol map.
 * At load the library records its system version (major * 256 + minor); nothing else runs.
 */
#include <stdint.h>

#include "qorsf.h"

uint16_t qorsf_load_version(void);

__attribute__((constructor)) static void qorsf_on_load(void) { (void)qorsf_load_version(); }
