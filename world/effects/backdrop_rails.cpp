#include "world/effects/backdrop_rails.h"

#include "core/fatal_error.h"

namespace {

constexpr f32 RAIL_FAR_Z = -400.0f;
constexpr f32 RAIL_NEAR_Z = 400.0f;

f32 g_afRailPieceZ[BACKDROP_RAIL_PIECE_COUNT] = {};

}  // namespace

void buildBackdropRails() {
    for (u32 piece = 0; piece < BACKDROP_RAIL_PIECE_COUNT; ++piece)
        g_afRailPieceZ[piece] = RAIL_FAR_Z + f32(piece) * BACKDROP_RAIL_PIECE_LENGTH;
}

void moveBackdropRails(f32 scrollStep) {
    for (f32& z : g_afRailPieceZ) {
        z += scrollStep;
        if (z >= RAIL_NEAR_Z) z -= f32(BACKDROP_RAIL_PIECE_COUNT) * BACKDROP_RAIL_PIECE_LENGTH;
    }
}

void releaseBackdropRails() {}

f32 backdropRailPieceZ(u32 piece) {
    if (piece >= BACKDROP_RAIL_PIECE_COUNT) fatalErrorf("backdrop rail piece %u does not exist", piece);
    return g_afRailPieceZ[piece];
}
