#include "core/script_parser.h"

#include "core/fatal_error.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/string.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

// ---------------------------------------------------------------------------------------------
// Problems

bool scriptProblemIsFatal(EScriptProblem problem) { return problem <= E_SCRIPTPROBLEM_TEXT_TOO_LARGE; }

void reportScriptProblemToGame(const SScriptProblem& problem) {
    if (scriptProblemIsFatal(problem.code)) {
        fatalErrorf("%s:%u: %s", problem.file, problem.offset, problem.reason.c_str());
    }
    if (problem.code == E_SCRIPTPROBLEM_UNMATCHED_CLOSE) {
        std::fprintf(stderr, "%s:%u: %s\n", problem.file, problem.offset, problem.reason.c_str());
        std::fflush(stderr);
    }
}

namespace {

void report(IScriptProblemSink* sink, const SScriptText& text, EScriptProblem code, u32 position, std::string reason) {
    SScriptProblem problem;
    problem.code = code;
    scriptLocate(text, position, &problem.file, &problem.offset);
    problem.reason = std::move(reason);
    if (sink) sink->onScriptProblem(problem);
    else reportScriptProblemToGame(problem);
}

std::string quoteText(const char* text, size_t length) {
    // Long tokens are cut so that a message stays one readable line.
    constexpr size_t SHOWN_LIMIT = 60;
    std::string out = "\"";
    out.append(text, std::min(length, SHOWN_LIMIT));
    if (length > SHOWN_LIMIT) out += "...";
    out += "\"";
    return out;
}

std::string quoteText(const std::string& text) { return quoteText(text.data(), text.size()); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Texts and where their bytes came from

void scriptTextFromBytes(SScriptText* text, const char* fileName, const char* bytes, u32 size,
                         IScriptProblemSink* sink) {
    text->files.assign(1, fileName ? fileName : "");
    text->includedBy.assign(1, 0);
    text->segments.clear();
    if (size > SCRIPT_TEXT_SIZE_LIMIT) {
        text->length = 0;
        text->segments.push_back({0, 0, 0, 0, 0});
        text->bytes.assign(1, '\0');
        report(sink, *text, E_SCRIPTPROBLEM_TEXT_TOO_LARGE, 0,
               "file larger than " + std::to_string(SCRIPT_TEXT_SIZE_LIMIT) + " bytes; read as far as that");
        size = SCRIPT_TEXT_SIZE_LIMIT;
    }
    text->bytes.assign(bytes, bytes + size);
    text->bytes.push_back('\0');
    text->length = size;
    text->segments.assign(1, {0, size, 0, 0, 0});
}

void scriptLocate(const SScriptText& text, u32 position, const char** outFile, u32* outOffset) {
    const SScriptSegment* best = nullptr;
    for (const SScriptSegment& segment : text.segments) {
        if (segment.start > position) break;
        best = &segment;
        if (position < segment.start + segment.length) break;
    }
    if (!best) {
        *outFile = text.files.empty() ? "" : text.files[0].c_str();
        *outOffset = position;
        return;
    }
    *outFile = text.files[best->file].c_str();
    // Past the end of the last segment (the end of the text) counts on from that segment.
    *outOffset = best->sourceOffset + (position - best->start);
}

// ---------------------------------------------------------------------------------------------
// Include expansion

namespace {

const SScriptSegment* segmentAt(const SScriptText& text, u32 position) {
    for (const SScriptSegment& segment : text.segments) {
        if (position >= segment.start && position < segment.start + segment.length) return &segment;
    }
    return nullptr;
}

// Replaces the bytes [from, to) by the inserted ones and keeps the segment map in step. The
// inserted bytes, when there are any, get a segment of their own (file index and depth given).
void replaceRange(SScriptText* text, u32 from, u32 to, const std::vector<char>& inserted, u32 fileIndex, u32 depth) {
    const u32 insertedLength = u32(inserted.size());
    std::vector<SScriptSegment> segments;
    segments.reserve(text->segments.size() + 2);
    bool insertedPlaced = false;
    auto placeInserted = [&]() {
        if (insertedPlaced) return;
        insertedPlaced = true;
        if (insertedLength) segments.push_back({from, insertedLength, 0, fileIndex, depth});
    };
    for (const SScriptSegment& segment : text->segments) {
        const u32 end = segment.start + segment.length;
        if (segment.start < from) {
            const u32 keptEnd = std::min(end, from);
            segments.push_back({segment.start, keptEnd - segment.start, segment.sourceOffset, segment.file, segment.depth});
        }
        if (end > to) {
            placeInserted();
            const u32 keptStart = std::max(segment.start, to);
            const u32 movedStart = keptStart - (to - from) + insertedLength;
            segments.push_back({movedStart, end - keptStart, segment.sourceOffset + (keptStart - segment.start),
                                segment.file, segment.depth});
        }
    }
    placeInserted();
    text->segments.swap(segments);

    std::vector<char>& bytes = text->bytes;
    bytes.erase(bytes.begin() + from, bytes.begin() + to);
    if (insertedLength) bytes.insert(bytes.begin() + from, inserted.begin(), inserted.end());
    text->length = text->length - (to - from) + insertedLength;
}

// Package look-ups ignore case and read '/' as '\'.
bool sameScriptName(const std::string& a, const std::string& b) {
    auto normal = [](char c) { return c == '/' ? '\\' : (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return normal(x) == normal(y);
           });
}

// Whether the named file is the one at the index or one of those that include it.
bool inIncludeChain(const SScriptText& text, u32 fileIndex, const std::string& name) {
    for (;;) {
        if (sameScriptName(text.files[fileIndex], name)) return true;
        if (fileIndex == 0) return false;
        fileIndex = text.includedBy[fileIndex];
    }
}

// First occurrence of the pattern at or after the position, within the text's length.
u32 findFrom(const SScriptText& text, u32 position, const char* pattern) {
    const u32 patternLength = u32(std::strlen(pattern));
    const char* begin = text.bytes.data();
    const char* found = std::search(begin + position, begin + text.length, pattern, pattern + patternLength);
    return found == begin + text.length ? ~0u : u32(found - begin);
}

}  // namespace

bool scriptExpandInjects(SScriptText* text, IScriptSource* source, IScriptProblemSink* sink) {
    const u32 openLength = u32(std::strlen(SCRIPT_INJECT_OPEN));
    const u32 closeLength = u32(std::strlen(SCRIPT_INJECT_CLOSE));
    bool clean = true;
    u32 position = 0;
    u64 includedBytes = 0;
    std::vector<char> included;
    for (;;) {
        const u32 open = findFrom(*text, position, SCRIPT_INJECT_OPEN);
        if (open == ~0u) return clean;
        // On at the directive's place whatever becomes of it: what an include inserts has its own
        // directives, which nest, and nothing after the directive is passed over.
        position = open;
        const u32 nameStart = open + openLength;
        const u32 close = findFrom(*text, nameStart, SCRIPT_INJECT_CLOSE);
        if (close == ~0u) {
            report(sink, *text, E_SCRIPTPROBLEM_INJECT_UNTERMINATED, open,
                   std::string(SCRIPT_INJECT_OPEN) + " without " + SCRIPT_INJECT_CLOSE);
            return false;
        }
        const u32 directiveEnd = close + closeLength;
        // A directive that cannot be expanded is reported and removed.
        auto drop = [&](EScriptProblem code, std::string reason) {
            report(sink, *text, code, open, std::move(reason));
            clean = false;
            replaceRange(text, open, directiveEnd, {}, 0, 0);
        };
        const std::string name(text->bytes.data() + nameStart, close - nameStart);
        if (name.empty() || name.size() > SCRIPT_INJECT_NAME_LIMIT || name.find('\0') != std::string::npos) {
            drop(E_SCRIPTPROBLEM_INJECT_BAD_NAME, "include name " + quoteText(name) + " must hold 1 to " +
                                                      std::to_string(SCRIPT_INJECT_NAME_LIMIT) + " characters");
            continue;
        }
        const SScriptSegment* segment = segmentAt(*text, open);
        const u32 depth = (segment ? segment->depth : 0) + 1;
        const u32 includingFile = segment ? segment->file : 0;
        if (inIncludeChain(*text, includingFile, name)) {
            drop(E_SCRIPTPROBLEM_INJECT_CYCLE, "include " + quoteText(name) + " is already being included here");
            continue;
        }
        if (depth > SCRIPT_INJECT_DEPTH_LIMIT) {
            drop(E_SCRIPTPROBLEM_INJECT_TOO_DEEP, "include " + quoteText(name) + " nested deeper than " +
                                                      std::to_string(SCRIPT_INJECT_DEPTH_LIMIT) + " files");
            continue;
        }
        if (!source || !source->readScriptFile(name.c_str(), &included)) {
            drop(E_SCRIPTPROBLEM_INJECT_MISSING, "include " + quoteText(name) + " cannot be read");
            continue;
        }
        const u64 grownLength = u64(text->length) - (directiveEnd - open) + included.size();
        if (grownLength > SCRIPT_TEXT_SIZE_LIMIT) {
            drop(E_SCRIPTPROBLEM_TEXT_TOO_LARGE, "include " + quoteText(name) + " makes the text larger than " +
                                                     std::to_string(SCRIPT_TEXT_SIZE_LIMIT) + " bytes");
            continue;
        }
        includedBytes += included.size();
        if (includedBytes > SCRIPT_INCLUDED_SIZE_LIMIT) {
            drop(E_SCRIPTPROBLEM_TEXT_TOO_LARGE, "include " + quoteText(name) + " makes the includes insert more than " +
                                                     std::to_string(SCRIPT_INCLUDED_SIZE_LIMIT) + " bytes");
            continue;
        }
        text->files.push_back(name);
        text->includedBy.push_back(includingFile);
        replaceRange(text, open, directiveEnd, included, u32(text->files.size() - 1), depth);
    }
}

// ---------------------------------------------------------------------------------------------
// Tokenizer

namespace {

bool isLineBreak(char c) { return c == '\r' || c == '\n'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || isLineBreak(c); }
bool isSingleToken(char c) { return c == '"' || c == '=' || c == '{' || c == '}'; }
bool isSeparator(char c) { return c == ',' || c == ';'; }

}  // namespace

void scriptNextToken(const char* text, u32 length, u32* position, bool quoted, SScriptToken* out) {
    u32 p = *position;
    *out = SScriptToken();
    // Before the token: white space and comments.
    for (;;) {
        if (p >= length || text[p] == '\0') {
            *position = p;
            return;
        }
        const char c = text[p];
        if (isBlank(c)) {
            ++p;
        } else if (c == '/') {
            while (p < length && text[p] != '\0' && !isLineBreak(text[p])) ++p;
        } else {
            break;
        }
    }
    out->start = p;
    const char first = text[p];
    if (isSingleToken(first) || isSeparator(first)) {
        out->counted = 1;
        *position = p + 1;
        return;
    }
    bool skippedSince = false;
    for (; p < length && text[p] != '\0'; ++p) {
        const char c = text[p];
        if (isSingleToken(c)) break;
        if (isSeparator(c) && !quoted) break;
        const bool skipped = (c == ' ' && !quoted) || c == '\t' || isLineBreak(c);
        if (skipped) {
            skippedSince = true;
            continue;
        }
        if (skippedSince) out->blankInside = true;
        ++out->counted;
    }
    *position = p;
}

// ---------------------------------------------------------------------------------------------
// Parser

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

size_t skipDigits(const std::string& text, size_t i, size_t* digits) {
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++*digits;
    }
    return i;
}

// Whether the C reading rules take the whole token: a float "-12.5e3", a hex "0x1F" or an
// integer "-12". "1e3" (an integer that stops at 'e'), "-" and "12abc" do not.
bool numberReadWhole(const std::string& text, bool isFloat) {
    size_t digits = 0;
    size_t i = text[0] == '-' ? 1 : 0;
    if (!isFloat && text.size() > 2 && text[0] == '0' && text[1] == 'x') {
        for (i = 2; i < text.size() && isHexDigit(text[i]); ++i) ++digits;
        return digits > 0 && i == text.size();
    }
    i = skipDigits(text, i, &digits);
    if (isFloat && i < text.size() && text[i] == '.') i = skipDigits(text, i + 1, &digits);
    if (digits == 0) return false;
    if (isFloat && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t exponentDigits = 0;
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        j = skipDigits(text, j, &exponentDigits);
        if (exponentDigits > 0) i = j;
    }
    return i == text.size();
}

class ClScriptParser {
public:
    ClScriptParser(const SScriptText& text, IScriptProblemSink* sink) : text(text), sink(sink) {}

    ClScriptNode* run() {
        std::unique_ptr<ClScriptNode> root(new ClScriptNode);
        root->init(E_SCRIPTNODE_BLOCK);
        stack.push_back({root.get(), 0, false});
        u32 position = 0;
        SScriptToken token;
        for (;;) {
            scriptNextToken(text.bytes.data(), text.length, &position, quoteOpen, &token);
            if (token.counted == 0) break;
            if (!handleToken(token)) break;
        }
        reportUnclosed();
        return root.release();
    }

private:
    struct SOpenNode {
        ClScriptNode* node;
        u32 position;
        bool isQuote;
    };

    void clearPendingName() {
        pendingName.clear();
        hasPendingName = false;
    }

    // False when the rest of the text is to be dropped.
    bool handleToken(const SScriptToken& token) {
        const char* start = text.bytes.data() + token.start;
        const std::string tokenText(start, token.counted);
        const char first = start[0];
        blankInsideToken = token.blankInside;
        if (token.blankInside) {
            report(sink, text, E_SCRIPTPROBLEM_BLANK_INSIDE_TOKEN, token.start,
                   "white space inside a token; it reads as " + quoteText(tokenText));
        }
        switch (first) {
        case '"':
            if (!quoteOpen) {
                ClScriptNode* node = createNode(E_SCRIPTNODE_NAME_ONLY, token.start);
                stack.push_back({node, token.start, true});
                quoteOpen = true;
                valueGiven = true;
                clearPendingName();
                return true;
            }
            quoteOpen = false;
            clearPendingName();
            return pop(token.start, "unmatched \"");
        case '{': {
            ClScriptNode* node = createNode(E_SCRIPTNODE_BLOCK, token.start);
            stack.push_back({node, token.start, false});
            valueGiven = true;
            clearPendingName();
            return true;
        }
        case '=':
            return true;
        case ',':
        case ';':
            endEntry(token.start);
            return true;
        case '}':
            endEntry(token.start);
            return pop(token.start, "unmatched }");
        default:
            break;
        }
        if (quoteOpen) {
            ClScriptNode* top = stack.back().node;
            top->value.assignBytes(tokenText.data(), s32(tokenText.size()));
            top->kind = E_SCRIPTNODE_TEXT;
            return true;
        }
        if (isDigit(first) || first == '-') {
            addNumber(tokenText, token.start);
            return true;
        }
        if (isLetter(first) || first == '_') {
            if (hasPendingName) {
                report(sink, text, E_SCRIPTPROBLEM_TWO_NAMES, token.start,
                       "two names in a row (" + quoteText(pendingName) + " then " + quoteText(tokenText) + ")");
                // A sink that lets the parse go on gets the later name.
            }
            pendingName = tokenText;
            hasPendingName = true;
            valueGiven = false;
            return true;
        }
        report(sink, text, E_SCRIPTPROBLEM_IGNORED_TOKEN, token.start,
               "token " + quoteText(tokenText) + " ignored: it starts with neither a letter, '_', a digit nor '-'");
        return true;
    }

    // A new node attached to the top of the stack, named by the pending name when there is one.
    ClScriptNode* createNode(u32 kind, u32 position) {
        ClScriptNode* node = new ClScriptNode;
        node->init(kind);
        stack.back().node->attachChild(node);
        if (hasPendingName) {
            node->name.assignText(pendingName.c_str());
            node->named = 1;
        }
        if (sink) {
            const char* file;
            u32 offset;
            scriptLocate(text, position, &file, &offset);
            sink->onScriptNodeCreated(node, file, offset);
        }
        return node;
    }

    void addNumber(const std::string& tokenText, u32 position) {
        ClScriptNode* node = createNode(E_SCRIPTNODE_INT, position);
        valueGiven = true;
        String number(tokenText.c_str());
        if (tokenText.find('.') != std::string::npos) {
            node->setFloat(number.toFloat());
        } else if (tokenText.size() > 2 && tokenText[0] == '0' && tokenText[1] == 'x') {
            node->setInt(s32(number.parseHexAfterPrefix()));
        } else {
            node->setInt(number.toInt());
        }
        // A blank inside the token has been reported already and explains the rest.
        if (!blankInsideToken && !numberReadWhole(tokenText, node->kind == E_SCRIPTNODE_FLOAT)) {
            const std::string value = node->kind == E_SCRIPTNODE_FLOAT ? std::to_string(node->getFloat())
                                                                        : std::to_string(node->getInt());
            report(sink, text, E_SCRIPTPROBLEM_NUMBER_WITH_TRAILING_TEXT, position,
                   "number " + quoteText(tokenText) + " reads as " + value);
        }
    }

    // "," ";" and "}": a pending name with no value becomes a name-only node, and a bare
    // "_class" makes a named block a class.
    void endEntry(u32 position) {
        if (hasPendingName && !valueGiven) {
            ClScriptNode* top = stack.back().node;
            createNode(E_SCRIPTNODE_NAME_ONLY, position);
            if (pendingName == "_class" && top->named) registerClass(top, position);
        }
        clearPendingName();
        valueGiven = false;
    }

    void registerClass(ClScriptNode* block, u32 position) {
        if (!registerScriptClass(block->name.text, block)) {
            report(sink, text, E_SCRIPTPROBLEM_DUPLICATE_CLASS, position,
                   "class " + quoteText(block->name.text, std::strlen(block->name.text)) +
                       " is already defined by a loaded script");
            return;
        }
        block->isClass = 1;
    }

    // The root is never popped: an extra closer drops the rest of the text.
    bool pop(u32 position, const char* unmatchedReason) {
        if (stack.size() <= 1) {
            report(sink, text, E_SCRIPTPROBLEM_UNMATCHED_CLOSE, position, unmatchedReason);
            return false;
        }
        stack.pop_back();
        return true;
    }

    void reportUnclosed() {
        if (quoteOpen && stack.size() > 1) {
            report(sink, text, E_SCRIPTPROBLEM_UNCLOSED_QUOTE, stack.back().position, "quoted text never closed");
        }
        for (size_t i = stack.size(); i-- > 1;) {
            if (stack[i].isQuote) continue;
            const ClScriptNode* node = stack[i].node;
            const char* name = node->named ? node->name.text : SCRIPT_UNNAMED_TEXT;
            report(sink, text, E_SCRIPTPROBLEM_UNCLOSED_BLOCK, stack[i].position,
                   "block " + quoteText(name, std::strlen(name)) + " never closed");
        }
    }

    const SScriptText& text;
    IScriptProblemSink* sink;
    std::vector<SOpenNode> stack;
    std::string pendingName;
    bool hasPendingName = false;
    bool valueGiven = false;
    bool quoteOpen = false;
    bool blankInsideToken = false;
};

}  // namespace

ClScriptNode* scriptParse(const SScriptText& text, IScriptProblemSink* sink) {
    ClScriptParser parser(text, sink);
    return parser.run();
}

ClScriptNode* scriptParseBytes(const char* fileName, const char* bytes, u32 size, IScriptSource* source,
                               IScriptProblemSink* sink) {
    SScriptText text;
    scriptTextFromBytes(&text, fileName, bytes, size, sink);
    scriptExpandInjects(&text, source, sink);
    return scriptParse(text, sink);
}
