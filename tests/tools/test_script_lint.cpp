#include "core/script_cache.h"
#include "core/script_lint.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SScriptLintFile file(const std::string& name, const std::string& text) {
    return {name, std::vector<char>(text.begin(), text.end())};
}

struct SLintCase {
    std::vector<SScriptLintFile> files;
    u32 errors;
    std::vector<std::string> starts;  // how each message begins, in any order
};

// Every case gives exactly its messages, and linting leaves no class registered.
void expectFindings(const std::vector<SLintCase>& cases) {
    for (const SLintCase& c : cases) {
        std::vector<SScriptLintMessage> messages;
        const u32 errors = lintScripts(c.files, &messages);
        std::vector<std::string> lines;
        for (const SScriptLintMessage& message : messages) lines.push_back(formatScriptLintMessage(message));
        std::vector<testing::Matcher<std::string>> starts;
        for (const std::string& start : c.starts) starts.push_back(testing::StartsWith(start));
        EXPECT_THAT(lines, testing::UnorderedElementsAreArray(starts));
        EXPECT_EQ(errors, c.errors) << testing::PrintToString(lines);
    }
    // The classes the cases define are free again once linting is done.
    for (const char* name : {"Boss", "Shared"}) {
        EXPECT_TRUE(registerScriptClass(name, nullptr)) << name;
        unregisterScriptClass(name);
    }
}

}  // namespace

TEST(ScriptLint, StructuralMistakesAreErrorsWithTheirFileAndLine) {
    expectFindings({
        {{file("open.txt", "a = 1;\nblock {\n  b = 2;\n")}, 1, {"open.txt:2: error: block \"block\" never closed"}},
        {{file("extra.txt", "a = 1;\n}\nb = 2;\n")}, 1, {"extra.txt:2: error: unmatched }"}},
        {{file("n.txt", "mode = fast;\n")}, 1, {"n.txt:1: error: two names in a row"}},
        {{file("a.txt", "Boss { _class; }\n"), file("b.txt", "\n\nBoss { _class; }\n")},
         1,
         {"b.txt:3: error: class \"Boss\""}},
        {{file("main.txt", "a = 1;\n<<inject[nowhere.txt]>>\nb = 2;\n<<inject[open\n")},
         2,
         {"main.txt:2: error: include \"nowhere.txt\" cannot be read", "main.txt:4: error: <<inject[ without ]>>",
          "main.txt:4: warning: token \"<<inject[open\" ignored"}},
        // A cycle is found although no file is the root of it.
        {{file("a.txt", "<<inject[b.txt]>>"), file("b.txt", "<<inject[a.txt]>>")},
         1,
         {"b.txt:1: error: include \"a.txt\" is already being included here"}},
    });
}

TEST(ScriptLint, CleanScriptsGiveNothingAndQuirksAreWarnings) {
    expectFindings({
        {{file("playbalance.txt", "// tuning\nspawn_bar_range {\n  { 1, 2 }\n  { 3, 4 }\n}\n"
                                  "score_wavekill_base_bonus = 1.5;\nname = \"with, comma\";\n"),
          file("sos.txt", "")},
         0,
         {}},
        {{file("q.txt", "a = +5;\nb = 1e3;\nc = .5;\n")},
         0,
         {"q.txt:1: warning: token \"+5\" ignored", "q.txt:2: warning: number \"1e3\" reads as 1",
          "q.txt:3: warning: token \".5\" ignored"}},
        {{file("a.txt", "pos { 1.0, 2, 3.0 }\nspeed = 1.5;\ncount = 3;\n"), file("b.txt", "other { speed = 2; }\n")},
         0,
         {"a.txt:1: warning: integer 2 among floats",
          "b.txt:1: warning: \"speed\" is the integer 2 here but a float elsewhere"}},
        // An included fragment is checked once, in its own lines, and its class counts once.
        {{file("a.txt", "<<inject[Common/frag.txt]>>\n"), file("Common\\frag.txt", "Shared { _class; }\n\nx = 1 y;\n")},
         0,
         {"Common\\frag.txt:3: warning: white space inside a token"}},
    });
}
