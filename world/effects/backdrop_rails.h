// The two side rails of the arena: square prisms along x = 0 and x = 325, in pieces of 185 units
// that scroll with the backdrop and wrap from z = 400 back to the far end.
#pragma once

#include "core/types.h"

constexpr f32 BACKDROP_RAIL_PIECE_LENGTH = 185.0f;
constexpr u32 BACKDROP_RAIL_PIECE_COUNT = 5;  // from z = -400 in steps of 185 while below 400

void buildBackdropRails();
// Moves every piece by the scroll step; a piece that reaches z = 400 goes back by the rails'
// whole length.
void moveBackdropRails(f32 scrollStep);
void releaseBackdropRails();

f32 backdropRailPieceZ(u32 piece);
