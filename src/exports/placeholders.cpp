// Exported entry points that hosts of the product family call but that have no work to do in
// this library: they accept their arguments and report success.
#include "qorsf.h"

QORSF_API int16_t SF_rloggetfirstfax(uint32_t, uint32_t, uint32_t) { return 0; }
QORSF_API int16_t SF_rloggetnextfax(uint32_t, uint32_t, uint32_t) { return 0; }
QORSF_API int16_t SF_wndfaxlog(uint32_t, uint32_t) { return 0; }
QORSF_API int16_t SF_viewafax(uint32_t, uint32_t) { return 0; }
QORSF_API int16_t SF_viewnextfax(uint32_t) { return 0; }
