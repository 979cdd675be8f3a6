// QORBD: values of the fax board, as the fax engine configured them.
#pragma once

#include <cstdint>

enum : int16_t {
    BD_E_NOVALUE = 31501,  // a value number the board does not have
};

// Reads board value `number` of board `board` (1 = the first board) into *value. The values live
// in section [BOARD] of the settings file as "Value<number>" (board 1) or "Board<board>Value<number>";
// a value missing from the file has its default. Known numbers: 5207, the board's state
// (0 = no board, 4 = the board is busy with another program; default 1 = ready).
int16_t BD_getvalue(uint32_t host, int16_t number, int16_t board, int16_t* value);
