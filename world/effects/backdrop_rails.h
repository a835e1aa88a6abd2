// The two side rails of the arena: square prisms along x = 0 and x = 325, built as one entity of
// the backdrop kind whose five child nodes each carry a 185-unit piece of both rails. The pieces
// scroll with the backdrop and wrap from z = 400 back to the far end. The entity is not in the
// world's lists: the backdrop updates and draws it.
#pragma once

#include "core/types.h"

constexpr f32 BACKDROP_RAIL_PIECE_LENGTH = 185.0f;
constexpr u32 BACKDROP_RAIL_PIECE_COUNT = 5;  // from z = -400 in steps of 185 while below 400

// Builds the program and the entity (releasing earlier ones). Without a world set up there are no
// rails.
void buildBackdropRails();
// Moves every piece by the scroll step (a piece that reaches z = 400 goes back by the rails'
// whole length), then updates the entity.
void moveBackdropRails(f32 scrollStep);
void drawBackdropRails();
// Frees the entity, then the program it was built from.
void releaseBackdropRails();
