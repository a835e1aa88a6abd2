// Font faces from the data: the glyph table "Fonts/<face>.vfnt" (ui/font_file_format.h) and the
// atlas "Fonts/<face>.png" that the build's font tool wrote. Main thread only.
#pragma once

#include <string>

// The faces the start-up loads. "-JAP" names fall back to them (findFontFaceOrBase).
constexpr const char* STARTUP_FONT_FACES[] = {"NiceCapsBoldFont", "NormalFont", "ScriptFont", "SystemFont"};
// The face every start-up face takes the characters it lacks from (CJK, emoji, other scripts).
constexpr const char* FALLBACK_FONT_FACE = "FallbackFont";
// The face labels and buttons use when they name none.
constexpr const char* DEFAULT_FONT_FACE = "NormalFont";

// Registers the face under its name. False, with the reason and nothing registered, when the
// table or the atlas is missing or damaged; a face of that name existing already is fatal.
bool loadFontFace(const char* name, std::string* error);
// Every start-up face; one that cannot be loaded stops the program with its name and reason.
// Then the fallback face, linked to each of them; without it (said on stderr) the texts draw
// the characters the faces lack as their fallback code.
void loadStartupFontFaces();
