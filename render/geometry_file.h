// ".qlt" geometry files: fixed entity shapes as text under "Geometry/" in the packages.
//
// Lines, in order: the vertex count; that many "x y z" vertex lines; the edge count; that many
// "i j" edge lines; the triangle count; that many "a b c" triangle lines. Lines end at '\n';
// lines of only blanks and carriage returns are skipped, and anything after the expected numbers
// is ignored. A count of 0 or less skips its section. At most 256 vertices, and every index must
// name one of them. File (x, y, z) is game (s x, s z, -s y): the file's z axis is the game's up.
#pragma once

#include "core/types.h"

#include <string>

class ClGeometryMesh;

// Reads "Geometry/<name>.qlt" from the packages into a new mesh (the caller owns it), scaled.
// A missing or damaged file ends the program with a message naming the file and the line.
ClGeometryMesh* loadGeometryMesh(const char* name, f32 scale);
// The same over a text held in memory; fileName is for the messages.
ClGeometryMesh* parseGeometryText(const char* text, u32 length, const char* fileName, f32 scale);
// The file text of the mesh's vertices, edges and triangles, so that parseGeometryText with the
// same scale gives them back.
std::string formatGeometryText(const ClGeometryMesh& mesh, f32 scale);
