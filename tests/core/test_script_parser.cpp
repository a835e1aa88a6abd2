#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/script_parser.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/memory_script_source.h"

#include <memory>
#include <string>

using namespace test_support;

namespace {

class ClCollectingSink : public IScriptProblemSink {
public:
    void onScriptProblem(const SScriptProblem& problem) override {
        problems.push_back({problem.code, problem.file, problem.offset});
    }
    struct SSeen {
        EScriptProblem code;
        std::string file;
        u32 offset;
    };
    bool has(EScriptProblem code) const {
        for (const SSeen& seen : problems) {
            if (seen.code == code) return true;
        }
        return false;
    }
    std::vector<SSeen> problems;
};

using TreePtr = std::unique_ptr<ClScriptNode>;

class ScriptParser : public FatalThrowingTest {
protected:
    void SetUp() override {
        scriptRegistriesInit();
        FatalThrowingTest::SetUp();
    }
    void TearDown() override {
        FatalThrowingTest::TearDown();
        freeAllScripts();
    }

    TreePtr parse(const std::string& text, IScriptProblemSink* sink = nullptr) {
        return TreePtr(scriptParseBytes("test.txt", text.data(), u32(text.size()), &source, sink));
    }

    // The fatal reason a parse stops with, or "" when it does not stop.
    std::string fatalReasonOfParse(const std::string& text) {
        return fatalReasonOf([&] { parse(text); });
    }

    ClMemoryScriptSource source;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Worked values

TEST_F(ScriptParser, EmptyFileGivesARootWithoutChildren) {
    TreePtr root = parse("");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->childCount(), 0u);
    EXPECT_EQ(root->kind, u32(E_SCRIPTNODE_BLOCK));
    EXPECT_EQ(root->named, 0u);
    EXPECT_STREQ(root->name.text, "[UNNAMED]");
}

TEST_F(ScriptParser, IntegerThenBareNameGiveAnIntAndANameOnlyNodeAndNumbersReadAsTheirKinds) {
    TreePtr root = parse("a = 1; b;");
    ASSERT_EQ(root->childCount(), 2u);
    const ClScriptNode* a = root->getChild(0);
    EXPECT_STREQ(a->name.text, "a");
    EXPECT_EQ(a->named, 1u);
    EXPECT_EQ(a->kind, u32(E_SCRIPTNODE_INT));
    EXPECT_EQ(a->getInt(), 1);
    const ClScriptNode* b = root->getChild(1);
    EXPECT_STREQ(b->name.text, "b");
    EXPECT_EQ(b->kind, u32(E_SCRIPTNODE_NAME_ONLY));

    root = parse("x = -3; scale = 0.5; mask = 0x1F; big = 1e3; neg = -.25;");
    EXPECT_EQ(root->getNamedChildOrDie("x")->getInt(), -3);
    EXPECT_FLOAT_EQ(root->getNamedChildOrDie("scale")->getFloat(), 0.5f);
    EXPECT_EQ(root->getNamedChildOrDie("mask")->getInt(), 31);
    // No '.' means an integer read by the C rules, which stop at the 'e'.
    EXPECT_EQ(root->getNamedChildOrDie("big")->kind, u32(E_SCRIPTNODE_INT));
    EXPECT_EQ(root->getNamedChildOrDie("big")->getInt(), 1);
    EXPECT_FLOAT_EQ(root->getNamedChildOrDie("neg")->getFloat(), -0.25f);
}

TEST_F(ScriptParser, QuotedTextsKeepSeparatorsAndALeadingFullStopLeavesTheNameAlone) {
    TreePtr root = parse("\"alone\"; title = \"a b, c; d\"; empty = \"\"; cut = \"abc=\";");
    ASSERT_EQ(root->childCount(), 4u);
    const ClScriptNode* alone = root->getChild(0);
    EXPECT_EQ(alone->named, 0u);
    EXPECT_EQ(alone->kind, u32(E_SCRIPTNODE_TEXT));
    EXPECT_STREQ(alone->getValueString().getText(), "alone");
    EXPECT_STREQ(root->getNamedChildOrDie("title")->getValueString().getText(), "a b, c; d");
    const ClScriptNode* empty = root->getNamedChildOrDie("empty");
    EXPECT_EQ(empty->kind, u32(E_SCRIPTNODE_NAME_ONLY));
    EXPECT_EQ(empty->getValueString().getLength(), 0);
    EXPECT_STREQ(root->getNamedChildOrDie("cut")->getValueString().getText(), "abc");

    // ".5" is neither a name nor a number; the ';' then closes a bare name.
    ClCollectingSink sink;
    root = parse("y = .5;", &sink);
    ASSERT_EQ(root->childCount(), 1u);
    EXPECT_STREQ(root->getChild(0)->name.text, "y");
    EXPECT_EQ(root->getChild(0)->kind, u32(E_SCRIPTNODE_NAME_ONLY));
    EXPECT_TRUE(sink.has(E_SCRIPTPROBLEM_IGNORED_TOKEN));
}

TEST_F(ScriptParser, BlocksNestAndHoldUnnamedValuesAndASlashInsideANameIsNoComment) {
    TreePtr root = parse("outer { pos { 1.0, 2.0, 3.0 } inner { deep = 7; } }");
    const ClScriptNode* outer = root->getNamedChildOrDie("outer");
    EXPECT_EQ(outer->kind, u32(E_SCRIPTNODE_BLOCK));
    const ClScriptNode* pos = outer->getNamedChildOrDie("pos");
    ASSERT_EQ(pos->childCount(), 3u);
    EXPECT_EQ(pos->getChild(2)->named, 0u);
    EXPECT_EQ(pos->getChild(2)->name.hash, SCRIPT_UNNAMED_HASH);
    EXPECT_FLOAT_EQ(pos->getChild(2)->getFloat(), 3.0f);
    EXPECT_EQ(outer->getNamedChildOrDie("inner")->getNamedChildOrDie("deep")->getInt(), 7);
    EXPECT_EQ(pos->parent, outer);

    root = parse("// heading\npath/to = 4; / single slash comment\nnext = 5;");
    ASSERT_EQ(root->childCount(), 2u);
    EXPECT_STREQ(root->getChild(0)->name.text, "path/to");
    EXPECT_EQ(root->getChild(0)->getInt(), 4);
    EXPECT_EQ(root->getNamedChildOrDie("next")->getInt(), 5);
}

TEST_F(ScriptParser, ClassBlockIsRegisteredAndLeavesWithItsTree) {
    TreePtr root = parse("Boss { _class; hp = 100; }");
    const ClScriptNode* boss = root->getNamedChildOrDie("Boss");
    EXPECT_EQ(boss->isClass, 1u);
    ASSERT_EQ(boss->childCount(), 2u);
    EXPECT_EQ(boss->getChild(0)->kind, u32(E_SCRIPTNODE_NAME_ONLY));
    EXPECT_EQ(findScriptClass("Boss"), boss);
    root.reset();
    EXPECT_EQ(findScriptClass("Boss"), nullptr);
    // A marker outside a named block makes no class.
    root = parse("_class; { _class; }");
    EXPECT_EQ(scriptClassCount(), 0u);
    EXPECT_EQ(root->childCount(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Tokenizer

TEST_F(ScriptParser, BlankInsideATokenKeepsTheCountedCharactersAndTextEndsAtNulOrItsEnd) {
    // The run is "ab cd" and four characters are counted: the token reads "ab c".
    ClCollectingSink sink;
    TreePtr root = parse("ab cd;", &sink);
    ASSERT_EQ(root->childCount(), 1u);
    EXPECT_STREQ(root->getChild(0)->name.text, "ab c");
    EXPECT_TRUE(sink.has(E_SCRIPTPROBLEM_BLANK_INSIDE_TOKEN));
    // Trailing blanks before the separator are harmless.
    ClCollectingSink quiet;
    TreePtr trailing = parse("speed = 10 ;", &quiet);
    EXPECT_EQ(trailing->getNamedChildOrDie("speed")->getInt(), 10);
    EXPECT_TRUE(quiet.problems.empty());

    const std::string withNul("a = 1;\0b = 2;", 13);
    root = parse(withNul);
    EXPECT_EQ(root->childCount(), 1u);
    ClCollectingSink unclosed;
    TreePtr open = parse("t = \"never closed", &unclosed);
    EXPECT_STREQ(open->getNamedChildOrDie("t")->getValueString().getText(), "never closed");
    EXPECT_TRUE(unclosed.has(E_SCRIPTPROBLEM_UNCLOSED_QUOTE));
}

// ---------------------------------------------------------------------------------------------
// Damaged files

TEST_F(ScriptParser, ExtraClosingBraceOrQuoteKeepsTheRootAndAnUnclosedBlockIsKept) {
    testing::internal::CaptureStderr();
    TreePtr root = parse("a = 1; } b = 2; c { d = 3; }");
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 1u);
    EXPECT_STREQ(root->getChild(0)->name.text, "a");
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_NE(err.find("test.txt:7: unmatched }"), std::string::npos) << err;

    // The '}' pops the quoted node, so the second quote has only the root left to close.
    testing::internal::CaptureStderr();
    root = parse("\"abc}\" later = 1;");
    err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(root->childCount(), 1u);
    EXPECT_NE(err.find("test.txt:5: unmatched \""), std::string::npos) << err;

    ClCollectingSink sink;
    root = parse("a { b = 1;", &sink);
    EXPECT_EQ(root->getNamedChildOrDie("a")->getNamedChildOrDie("b")->getInt(), 1);
    ASSERT_TRUE(sink.has(E_SCRIPTPROBLEM_UNCLOSED_BLOCK));
}

TEST_F(ScriptParser, FatalProblemsNameFileAndOffset) {
    // A name after "=" is the only way to two names: blanks do not end a token.
    EXPECT_EQ(fatalReasonOfParse("speed = fast;"), "test.txt:8: two names in a row (\"speed\" then \"fast\")");
    EXPECT_EQ(fatalReasonOfParse("A { _class; } A { _class; }"),
              "test.txt:24: class \"A\" is already defined by a loaded script");
    EXPECT_EQ(fatalReasonOfParse("x = 1; <<inject[nothing.txt"), "test.txt:7: <<inject[ without ]>>");
    EXPECT_EQ(fatalReasonOfParse("<<inject[]>>"), "test.txt:0: include name \"\" must hold 1 to 767 characters");
    EXPECT_EQ(fatalReasonOfParse("\n<<inject[gone.txt]>>"), "test.txt:1: include \"gone.txt\" cannot be read");
    // Nothing stays registered from a parse that stopped.
    EXPECT_EQ(scriptClassCount(), 0u);
}

TEST_F(ScriptParser, SinkThatGoesOnGetsTheLaterNameNoSecondClassAndPartlyReadNumbers) {
    ClCollectingSink sink;
    TreePtr root = parse("one = two = 2; A { _class; } A { _class; }", &sink);
    EXPECT_EQ(root->getNamedChildOrDie("two")->getInt(), 2);
    EXPECT_TRUE(sink.has(E_SCRIPTPROBLEM_TWO_NAMES));
    EXPECT_TRUE(sink.has(E_SCRIPTPROBLEM_DUPLICATE_CLASS));
    EXPECT_EQ(root->getChild(1)->isClass, 1u);
    EXPECT_EQ(root->getChild(2)->isClass, 0u);
    root.reset();
    EXPECT_EQ(scriptClassCount(), 0u);

    ClCollectingSink numbers;
    root = parse("a = 1e3; b = 2.5e2; c = -; d = 0X1F; e = 1.5e; f = 2.5e+;", &numbers);
    EXPECT_EQ(numbers.problems.size(), 5u);
    for (const auto& problem : numbers.problems) EXPECT_EQ(problem.code, E_SCRIPTPROBLEM_NUMBER_WITH_TRAILING_TEXT);
    EXPECT_FLOAT_EQ(root->getNamedChildOrDie("b")->getFloat(), 250.0f);
    EXPECT_FLOAT_EQ(root->getNamedChildOrDie("f")->getFloat(), 2.5f);
    EXPECT_EQ(root->getNamedChildOrDie("c")->getInt(), 0);
    EXPECT_EQ(root->getNamedChildOrDie("d")->getInt(), 0);
}

// ---------------------------------------------------------------------------------------------
// Includes

TEST_F(ScriptParser, BackToBackIncludesAreBothExpandedAndAShortOneHidesNoDirective) {
    source.files["a.txt"] = "a = 1;";
    source.files["b.txt"] = "b = 2;";
    TreePtr root = parse("<<inject[a.txt]>><<inject[b.txt]>>c = 3;");
    ASSERT_EQ(root->childCount(), 3u);
    EXPECT_EQ(root->getNamedChildOrDie("a")->getInt(), 1);
    EXPECT_EQ(root->getNamedChildOrDie("b")->getInt(), 2);
    EXPECT_EQ(root->getNamedChildOrDie("c")->getInt(), 3);

    // An include shorter than its directive must not move the search past the next one.
    source.files["s"] = "";
    source.files["t.txt"] = "t = 1;";
    root = parse("<<inject[s]>> <<inject[t.txt]>>");
    EXPECT_EQ(root->getNamedChildOrDie("t")->getInt(), 1);
}

TEST_F(ScriptParser, IncludesNestFromTheStartOfTheInsertedTextUpToADepthLimit) {
    source.files["outer.txt"] = "<<inject[inner.txt]>> outer = 1; padding { a; b; c; d; e; f; g; h; }";
    source.files["inner.txt"] = "inner = 2;";
    source.files["sub/deep.txt"] = "deep = 3;";
    TreePtr root = parse("<<inject[outer.txt]>><<inject[sub/deep.txt]>>");
    EXPECT_EQ(root->getNamedChildOrDie("inner")->getInt(), 2);
    EXPECT_EQ(root->getNamedChildOrDie("outer")->getInt(), 1);
    EXPECT_EQ(root->getNamedChildOrDie("deep")->getInt(), 3);

    // A chain of 17 different files: the 17th is one too deep.
    for (int i = 1; i <= 16; ++i) source.files["f" + std::to_string(i)] = "<<inject[f" + std::to_string(i + 1) + "]>>";
    source.files["f17"] = "x;";
    EXPECT_EQ(fatalReasonOfParse("<<inject[f1]>>"), "f16:0: include \"f17\" nested deeper than 16 files");
}

TEST_F(ScriptParser, AFileAlreadyBeingIncludedIsNotIncludedAgainAndIncludesStopAtTheirSizeCap) {
    // Included twice by itself, this file would make 2^16 copies before the depth limit.
    const std::string self = "<<inject[self.txt]>>\n<<inject[self.txt]>>";
    source.files["self.txt"] = self;
    ClCollectingSink sink;
    TreePtr root(scriptParseBytes("self.txt", self.data(), u32(self.size()), &source, &sink));
    ASSERT_EQ(sink.problems.size(), 2u);
    EXPECT_EQ(sink.problems[1].code, E_SCRIPTPROBLEM_INJECT_CYCLE);
    EXPECT_EQ(sink.problems[1].file, "self.txt");
    EXPECT_EQ(sink.problems[1].offset, 21u);
    EXPECT_EQ(source.reads["self.txt"], 0);

    // Through another file, and with another case or separator; the same file twice side by side
    // is no cycle.
    source.files["a.txt"] = "<<inject[sub/b.txt]>>";
    source.files["sub/b.txt"] = "<<inject[A.TXT]>><<inject[SUB\\b.txt]>> b;";
    ClCollectingSink chain;
    root = parse("<<inject[a.txt]>><<inject[a.txt]>>", &chain);
    EXPECT_EQ(chain.problems.size(), 4u);
    EXPECT_EQ(root->childCount(), 2u);
    EXPECT_EQ(fatalReasonOfParse("<<inject[a.txt]>>"), "sub/b.txt:0: include \"A.TXT\" is already being included here");

    source.files["big.txt"] = std::string(SCRIPT_INCLUDED_SIZE_LIMIT * 2 / 5, ' ') + "x;";
    ClCollectingSink large;
    root = parse("<<inject[big.txt]>><<inject[big.txt]>><<inject[big.txt]>>", &large);
    ASSERT_EQ(large.problems.size(), 1u);
    EXPECT_EQ(large.problems[0].code, E_SCRIPTPROBLEM_TEXT_TOO_LARGE);
    EXPECT_EQ(large.problems[0].offset, 38u);
    EXPECT_EQ(root->childCount(), 2u);
}

TEST_F(ScriptParser, ProblemsInsideAnIncludeNameTheIncludedFileAlsoAcrossASplitDirective) {
    source.files["part.txt"] = "ok = 1;\nbad = worse;";
    ClCollectingSink sink;
    TreePtr root = parse("first = 0;\n<<inject[part.txt]>>\nlast = 2;", &sink);
    ASSERT_EQ(sink.problems.size(), 1u);
    EXPECT_EQ(sink.problems[0].file, "part.txt");
    EXPECT_EQ(sink.problems[0].offset, 14u);
    EXPECT_EQ(root->getNamedChildOrDie("last")->getInt(), 2);

    // The tail of one include and the text after it form a new directive; expanding it must keep
    // every later offset pointing into the right file.
    source.files["head.txt"] = "<<inj";
    source.files["x.txt"] = "x = 1;";
    ClCollectingSink split;
    root = parse("<<inject[head.txt]>>ect[x.txt]>> two = words;", &split);
    EXPECT_EQ(root->getNamedChildOrDie("x")->getInt(), 1);
    ASSERT_EQ(split.problems.size(), 1u);
    EXPECT_EQ(split.problems[0].file, "test.txt");
    EXPECT_EQ(split.problems[0].offset, 39u);
}

TEST_F(ScriptParser, SegmentsLocateEveryByte) {
    source.files["mid.txt"] = "MID";
    ClCollectingSink sink;
    SScriptText text;
    const std::string top = "ab<<inject[mid.txt]>>cd";
    scriptTextFromBytes(&text, "top.txt", top.data(), u32(top.size()), &sink);
    ASSERT_TRUE(scriptExpandInjects(&text, &source, &sink));
    EXPECT_EQ(std::string(text.bytes.data(), text.length), "abMIDcd");
    EXPECT_EQ(text.bytes[text.length], '\0');
    const struct {
        u32 position;
        const char* file;
        u32 offset;
    } expected[] = {{1, "top.txt", 1}, {2, "mid.txt", 0}, {4, "mid.txt", 2}, {5, "top.txt", 21}, {6, "top.txt", 22}};
    for (const auto& [position, expectedFile, expectedOffset] : expected) {
        const char* file;
        u32 offset;
        scriptLocate(text, position, &file, &offset);
        EXPECT_STREQ(file, expectedFile) << position;
        EXPECT_EQ(offset, expectedOffset) << position;
    }
}
