// Text definition files: the include expansion ("<<inject[NAME]>>"), the tokenizer and the
// parser that builds a `ClScriptNode` tree.
//
// Problems are handed to a problem sink. The game's own sink (a null sink) stops the program on
// the fatal ones after naming file and offset, prints "file:offset: unmatched }" and drops the
// rest of the text on an extra closing brace, and reads every other quirk silently; the script
// lint passes a sink that collects everything and lets the parse go on.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

class ClScriptNode;

// Included files nest at most this deep.
constexpr u32 SCRIPT_INJECT_DEPTH_LIMIT = 16;
// A text with its includes may not grow beyond this; scripts are a few kilobytes.
constexpr u32 SCRIPT_TEXT_SIZE_LIMIT = 16u << 20;
// The includes of one script may insert at most this many bytes all told, a file included twice
// counted twice: files that each include the next several times would otherwise multiply.
constexpr u32 SCRIPT_INCLUDED_SIZE_LIMIT = 256u << 10;
// An include name holds 1 to this many characters.
constexpr u32 SCRIPT_INJECT_NAME_LIMIT = 767;

constexpr const char* SCRIPT_INJECT_OPEN = "<<inject[";
constexpr const char* SCRIPT_INJECT_CLOSE = "]>>";

// Where the bytes of a script or an included file come from.
class IScriptSource {
public:
    virtual ~IScriptSource() = default;
    // The whole file "Scripts\<name>" (a '/' in the name reads as '\'); false when it cannot be
    // read. out is replaced, not appended to.
    virtual bool readScriptFile(const char* name, std::vector<char>* out) = 0;
};

enum EScriptProblem : u32 {
    // The game stops on these.
    E_SCRIPTPROBLEM_TWO_NAMES,
    E_SCRIPTPROBLEM_DUPLICATE_CLASS,
    E_SCRIPTPROBLEM_INJECT_UNTERMINATED,
    E_SCRIPTPROBLEM_INJECT_BAD_NAME,
    E_SCRIPTPROBLEM_INJECT_MISSING,
    E_SCRIPTPROBLEM_INJECT_TOO_DEEP,
    E_SCRIPTPROBLEM_INJECT_CYCLE,
    E_SCRIPTPROBLEM_TEXT_TOO_LARGE,
    // The game prints these and drops the rest of the text.
    E_SCRIPTPROBLEM_UNMATCHED_CLOSE,
    // The game reads these without a word; only the lint reports them.
    E_SCRIPTPROBLEM_UNCLOSED_BLOCK,
    E_SCRIPTPROBLEM_UNCLOSED_QUOTE,
    E_SCRIPTPROBLEM_IGNORED_TOKEN,
    E_SCRIPTPROBLEM_BLANK_INSIDE_TOKEN,
    E_SCRIPTPROBLEM_NUMBER_WITH_TRAILING_TEXT,
};

bool scriptProblemIsFatal(EScriptProblem problem);

struct SScriptProblem {
    EScriptProblem code;
    const char* file;    // the script or included file the offset is in
    u32 offset;          // byte offset in that file
    std::string reason;  // "two names in a row (\"a\" then \"b\")"
};

class IScriptProblemSink {
public:
    virtual ~IScriptProblemSink() = default;
    virtual void onScriptProblem(const SScriptProblem& problem) = 0;
    // Every node the parser creates, with where it starts (the lint places its findings by it).
    virtual void onScriptNodeCreated(const ClScriptNode* node, const char* file, u32 offset) {
        (void)node;
        (void)file;
        (void)offset;
    }
};

// The game's handling of a problem (what a null sink means): fatal problems go to the fatal-error
// routine with "file:offset: reason"; an unmatched closing brace or quote prints that line on
// standard error; the rest is silent.
void reportScriptProblemToGame(const SScriptProblem& problem);

// A piece of the expanded text and where its bytes came from.
struct SScriptSegment {
    u32 start;         // in the expanded text
    u32 length;
    u32 sourceOffset;  // in the file
    u32 file;          // index into SScriptText::files
    u32 depth;         // 0 for the script itself, 1 for what it includes, ...
};

// A script text being expanded and parsed. `bytes` always ends with one NUL after `length`
// bytes; the parser also stops at a NUL inside the text.
struct SScriptText {
    std::vector<char> bytes;
    u32 length = 0;
    std::vector<std::string> files;  // [0] is the script itself, then each include as read
    std::vector<u32> includedBy;     // per file, the file its directive stood in; [0] is 0
    std::vector<SScriptSegment> segments;
};

// The text of one file, not yet expanded. Texts over SCRIPT_TEXT_SIZE_LIMIT are reported to the
// sink and cut there.
void scriptTextFromBytes(SScriptText* text, const char* fileName, const char* bytes, u32 size,
                         IScriptProblemSink* sink);
// The file and the offset in it of a position in the expanded text.
void scriptLocate(const SScriptText& text, u32 position, const char** outFile, u32* outOffset);

// Replaces every "<<inject[NAME]>>" by the bytes of the file NAME, searching on at the start of
// each inserted text so that includes nest (at most SCRIPT_INJECT_DEPTH_LIMIT deep) and no
// original text is passed over. A file that is already being included where the directive
// stands (names compared without regard to case, '/' as '\') is not included again, and the
// includes stop at SCRIPT_INCLUDED_SIZE_LIMIT bytes. Problems go to the sink; a sink that
// returns gets the directive dropped (or, when it has no end, the search stopped). True when
// nothing went wrong.
bool scriptExpandInjects(SScriptText* text, IScriptSource* source, IScriptProblemSink* sink);

// One token from *position, which moves past it. The token's text is the first `counted`
// characters of the run that starts at `start`: white space after a token has started is
// stepped over without ending it and without being counted.
struct SScriptToken {
    u32 start = 0;
    u32 counted = 0;          // 0: the text is used up
    bool blankInside = false; // white space was stepped over and then more was counted
};
void scriptNextToken(const char* text, u32 length, u32* position, bool quoted, SScriptToken* out);

// Parses the (expanded) text into a new tree owned by the caller. Blocks holding a bare "_class"
// are registered in the class registry. The tree is returned even when the sink let problems
// pass.
ClScriptNode* scriptParse(const SScriptText& text, IScriptProblemSink* sink);

// scriptTextFromBytes, scriptExpandInjects and scriptParse in one go, for memory texts.
ClScriptNode* scriptParseBytes(const char* fileName, const char* bytes, u32 size, IScriptSource* source,
                               IScriptProblemSink* sink);
