#include "world/effects/equaliser_cell.h"

namespace {

// The display widens each cell to 1.02 column widths; the factor is the single-precision one.
constexpr f32 EQ_CELL_WIDTH_FACTOR = 1.02f;

}  // namespace

ClVec3* getEqCellPosition(ClVec3* out, s32 column, s32 row, u32 bandCount) {
    const f64 columnWidth = EQ_DISPLAY_WIDTH / f64(bandCount != 0 ? bandCount : 1u);
    const f32 columnLeft = f32(columnWidth * f64(column));
    const f32 halfCell = f32(columnWidth * f64(EQ_CELL_WIDTH_FACTOR) * 0.5);
    out->x = f32(f64(columnLeft) + f64(halfCell));
    out->y = f32(f64(row) * EQ_ROW_SPACING);
    out->z = 0.0f;
    return out;
}
