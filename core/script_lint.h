// The script lint: checks a folder of text definition files with the game's own parser before
// they are packed, and reports each problem with file and line.
//
// Errors: unbalanced braces and quotes, two names in a row, duplicate class names (across all
// the files), include directives that are broken, missing or nested too deep. Warnings: tokens
// the game ignores, white space inside a token, numbers not read whole ("1e3" reads as 1), and
// integers that are likely meant as floats (an integer among unnamed floats of one block, or a
// name that holds a float elsewhere).
//
// A file that another file includes is checked as part of its includer only, so that its
// classes are not counted twice. The lint uses the game's class registry: run it with no script
// loaded.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

struct SScriptLintFile {
    std::string name;  // relative to the Scripts folder, '\' or '/' separators
    std::vector<char> bytes;
};

enum EScriptLintSeverity : u32 {
    E_SCRIPTLINT_ERROR = 0,
    E_SCRIPTLINT_WARNING = 1,
};

struct SScriptLintMessage {
    EScriptLintSeverity severity;
    std::string file;
    u32 line;  // from 1
    std::string text;
};

// Checks the files and appends the findings in file and line order; returns the error count.
u32 lintScripts(const std::vector<SScriptLintFile>& files, std::vector<SScriptLintMessage>* out);

// "Scripts\a.txt:12: error: two names in a row (...)"
std::string formatScriptLintMessage(const SScriptLintMessage& message);
