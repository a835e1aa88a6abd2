// The line reader: one whole text held in memory (a packaged file, or a block the caller hands
// in), read line by line and token by token. It reads the settings file and the camera frames.
// Each caller owns its reader record for the time it reads; the reader keeps no state of its own.
//
// Lines end after the first '\n' or '\r', so a CR LF pair gives a second line holding only
// '\n', which is not a content line. A comment line starts, after blanks, with two slashes
// that may have blanks between them; a "//" after other text on a line is not special.
//
// A token is a run of characters up to white space, or a text in double quotes that keeps its
// blanks. A quote left open ends at the end of the line.
//
// Numbers are read in the "C" locale whatever locale the process has set. Integer texts wider
// than 32 bits keep their low 32 bits (a text beyond the 64-bit range reads as all ones first);
// see the conversions below.
#pragma once

#include "core/types.h"

// Capacity of a token buffer for the lines the reader's callers read (terminator included).
constexpr u32 TEXT_TOKEN_LENGTH = 256;

struct SAssetFile;

// One text being read and the place reached in it. A reader over a caller's block (no file)
// only points at it; one opened on a packaged file holds the file until closeTextReader.
struct STextReader {
    SAssetFile* file = nullptr;  // set when the source is a packaged file, which the reader releases
    const char* source = nullptr;
    u32 length = 0;
    u32 position = 0;
    u32 lineStart = 0;  // offset of the line read last, for messages
};

// Reads the whole packaged file (any mounted package) and makes it the reader's source. False
// when no package holds it, it is empty, or it cannot be read; nothing is kept open then. A
// source the reader already has is closed first.
bool openTextReader(STextReader& reader, const char* path);
// Releases a file source (a caller's block is only forgotten) and resets the reader.
void closeTextReader(STextReader& reader);

// The 1-based number of the line read last, for messages.
u32 textLineNumber(const STextReader& reader);

// Copies the next line, up to and including its first '\n' or '\r', or its first size - 1
// characters, and terminates it. Null at the end of the source, with no source, or for a
// size below 2.
char* readLine(STextReader& reader, char* buffer, u32 size);
// False for an empty text, a single blank or line break, and a comment line.
bool isContentLine(const char* text);
// The next content line, read into buffer; null at the end of the source.
char* nextContentLine(STextReader& reader, u32 size, char* buffer);

// Reads one token of text into out (at most size - 1 characters; a longer token is cut, and
// the rest of it skipped). Returns the position after the token and the white space behind
// it, or null when nothing follows.
const char* nextToken(const char* text, char* out, u32 size);

// "0x" or "0X" followed only by hexadecimal digits (or by nothing).
bool isHexText(const char* text);
// An optional '-' followed by one or more decimal digits, and nothing else.
bool isIntText(const char* text);
// An optional '-', decimal digits and exactly one '.' somewhere among them (".5", "5." and
// "-.5" count; "." alone does not).
bool isFloatText(const char* text);

// The hexadecimal digits after an optional "0x" prefix, as `strtoul` reads them, cut to the
// low 32 bits: "0x123456789" gives 0x23456789; more than 16 digits give 0xFFFFFFFF. No digits
// give 0.
u32 hexTextValue(const char* text);
// The decimal integer as `strtol` reads it, cut to the low 32 bits: "4294967297" gives 1;
// beyond the 64-bit range the saturated value is cut (so a huge positive text gives -1).
s32 intTextValue(const char* text);
// The number as `strtof` reads it (exponents, signs and leading blanks included); 0 when the
// text starts with no number.
f32 floatTextValue(const char* text);
