// Image sequences loaded by name: numbered frames "<name>-000_<h>.png" counted from 0, or
// "<name>-0001_<h>.png" counted from 1, each a texture, kept by name hash until shutdown.
#pragma once

#include "core/types.h"

struct SFlipbook;

void initFlipbookTable();
// Destroys every sequence with its textures.
void releaseAllFlipbooks();
// Loads the frames and keeps the sequence under the name (replacing one of the same name): the
// suffixes are the "FULL" canvas's pixel height, then its variants (1080, 720 and 480 before the
// canvases exist). A name with no frame files gives a sequence without frames.
SFlipbook* loadFlipbook(const char* name, f32 frameRate);
// Null when the name was never loaded.
SFlipbook* findFlipbook(const char* name);
// Appends the frames found for the name to the sequence: the suffix and extension are fixed by
// the first file that exists, trying the current height, then each variant; frames stop at the
// first number with no file.
void loadFlipbookFrames(SFlipbook* flipbook, const char* name, u32 currentHeight, const u32* variantHeights,
                        u32 variantCount);
