#include "core/script_cache.h"
#include "core/script_lint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SScriptLintFile file(const std::string& name, const std::string& text) {
    return {name, std::vector<char>(text.begin(), text.end())};
}

struct SLintRun {
    u32 errors;
    std::vector<std::string> lines;  // formatted messages
};

SLintRun lint(const std::vector<SScriptLintFile>& files) {
    std::vector<SScriptLintMessage> messages;
    SLintRun run;
    run.errors = lintScripts(files, &messages);
    for (const SScriptLintMessage& message : messages) run.lines.push_back(formatScriptLintMessage(message));
    return run;
}

bool anyLineStartsWith(const SLintRun& run, const std::string& prefix) {
    for (const std::string& line : run.lines) {
        if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

std::string joined(const SLintRun& run) {
    std::string out;
    for (const std::string& line : run.lines) out += line + "\n";
    return out;
}

}  // namespace

TEST(ScriptLint, CleanScriptsGiveNothing) {
    const SLintRun run = lint({file("playbalance.txt", "// tuning\nspawn_bar_range {\n  { 1, 2 }\n  { 3, 4 }\n}\n"
                                                       "score_wavekill_base_bonus = 1.5;\nname = \"with, comma\";\n"),
                               file("sos.txt", "")});
    EXPECT_EQ(run.errors, 0u);
    EXPECT_TRUE(run.lines.empty()) << joined(run);
    EXPECT_EQ(scriptClassCount(), 0u);
}

TEST(ScriptLint, UnbalancedBracesAreErrorsWithTheirLine) {
    const SLintRun open = lint({file("open.txt", "a = 1;\nblock {\n  b = 2;\n")});
    EXPECT_EQ(open.errors, 1u);
    EXPECT_TRUE(anyLineStartsWith(open, "open.txt:2: error: block \"block\" never closed")) << joined(open);

    const SLintRun extra = lint({file("extra.txt", "a = 1;\n}\nb = 2;\n")});
    EXPECT_EQ(extra.errors, 1u);
    EXPECT_TRUE(anyLineStartsWith(extra, "extra.txt:2: error: unmatched }")) << joined(extra);
}

TEST(ScriptLint, DuplicateClassesAcrossFilesAreErrors) {
    const SLintRun run = lint({file("a.txt", "Boss { _class; }\n"), file("b.txt", "\n\nBoss { _class; }\n")});
    EXPECT_EQ(run.errors, 1u);
    EXPECT_TRUE(anyLineStartsWith(run, "b.txt:3: error: class \"Boss\"")) << joined(run);
    EXPECT_EQ(scriptClassCount(), 0u);
}

TEST(ScriptLint, MissingAndBrokenIncludesAreErrors) {
    const SLintRun run = lint({file("main.txt", "a = 1;\n<<inject[nowhere.txt]>>\nb = 2;\n<<inject[open\n")});
    EXPECT_EQ(run.errors, 2u) << joined(run);
    EXPECT_TRUE(anyLineStartsWith(run, "main.txt:2: error: include \"nowhere.txt\" cannot be read")) << joined(run);
    EXPECT_TRUE(anyLineStartsWith(run, "main.txt:4: error: <<inject[ without ]>>")) << joined(run);
}

TEST(ScriptLint, IncludedFragmentIsCheckedOnceAndInItsOwnLines) {
    // The fragment's class is defined once even though two scripts could read it standalone.
    const SLintRun run = lint({file("a.txt", "<<inject[Common/frag.txt]>>\n"),
                               file("Common\\frag.txt", "Shared { _class; }\n\nx = 1 y;\n")});
    EXPECT_EQ(run.errors, 0u) << joined(run);
    ASSERT_EQ(run.lines.size(), 1u) << joined(run);
    EXPECT_TRUE(anyLineStartsWith(run, "Common\\frag.txt:3: warning: white space inside a token")) << joined(run);
}

TEST(ScriptLint, IncludeCycleIsFoundEvenWithoutARoot) {
    const SLintRun run = lint({file("a.txt", "<<inject[b.txt]>>"), file("b.txt", "<<inject[a.txt]>>")});
    EXPECT_GE(run.errors, 1u);
    EXPECT_NE(joined(run).find("nested deeper than"), std::string::npos) << joined(run);
}

TEST(ScriptLint, LikelyIntegersForFloatsAreWarnings) {
    const SLintRun run = lint({file("a.txt", "pos { 1.0, 2, 3.0 }\nspeed = 1.5;\ncount = 3;\n"),
                               file("b.txt", "other { speed = 2; }\n")});
    EXPECT_EQ(run.errors, 0u);
    EXPECT_TRUE(anyLineStartsWith(run, "a.txt:1: warning: integer 2 among floats")) << joined(run);
    EXPECT_TRUE(anyLineStartsWith(run, "b.txt:1: warning: \"speed\" is the integer 2 here but a float elsewhere"))
        << joined(run);
    EXPECT_EQ(run.lines.size(), 2u) << joined(run);
}

TEST(ScriptLint, QuirksTheGameReadsSilentlyAreWarnings) {
    const SLintRun run = lint({file("q.txt", "a = +5;\nb = 1e3;\nc = .5;\n")});
    EXPECT_EQ(run.errors, 0u);
    EXPECT_TRUE(anyLineStartsWith(run, "q.txt:1: warning: token \"+5\" ignored")) << joined(run);
    EXPECT_TRUE(anyLineStartsWith(run, "q.txt:2: warning: number \"1e3\" reads as 1")) << joined(run);
    EXPECT_TRUE(anyLineStartsWith(run, "q.txt:3: warning: token \".5\" ignored")) << joined(run);
}

TEST(ScriptLint, TwoNamesInARowIsAnError) {
    const SLintRun run = lint({file("n.txt", "mode = fast;\n")});
    EXPECT_EQ(run.errors, 1u);
    EXPECT_TRUE(anyLineStartsWith(run, "n.txt:1: error: two names in a row")) << joined(run);
}
