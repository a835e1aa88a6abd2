// Where a cell of the equaliser display sits in the world, for what flies out of it.
#pragma once

#include "core/types.h"
#include "core/vec.h"

// The display is EQ_DISPLAY_WIDTH units wide, one column per band, its rows EQ_ROW_SPACING apart.
constexpr f64 EQ_DISPLAY_WIDTH = 325.0;
constexpr f64 EQ_ROW_SPACING = 55.0 / 14.0;

// x = the horizontal centre of the column's cells, y = the height of the row, z = 0; the fourth
// float of out is left alone. Worked in double precision; the two terms of x are each rounded to
// single precision before they are added. A band count of 0 counts as 1. Returns out.
ClVec3* getEqCellPosition(ClVec3* out, s32 column, s32 row, u32 bandCount);
