#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/script_parser.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/memory_script_source.h"

#include <memory>
#include <string>

using namespace test_support;

namespace {

struct SSeen {
    EScriptProblem code;
    std::string file;
    u32 offset;
    bool operator==(const SSeen&) const = default;
};
using Seen = std::vector<SSeen>;

class ClCollectingSink : public IScriptProblemSink {
public:
    void onScriptProblem(const SScriptProblem& problem) override {
        problems.push_back({problem.code, problem.file, problem.offset});
    }
    Seen problems;
};

using Codes = std::vector<EScriptProblem>;

using TreePtr = std::unique_ptr<ClScriptNode>;

// The children of a node in one line: "name" for a bare name, "name=1" for an integer, "name=0.5f"
// for a float, "name='text'" for a quoted text, "name{...}" for a block ("name!{...}" for a class);
// "_" stands for a name that did not come from the file.
std::string shape(const ClScriptNode* node) {
    std::string out;
    for (u32 i = 0; i < node->childCount(); ++i) {
        const ClScriptNode* child = node->getChild(i);
        out += (i ? " " : "") + std::string(child->named ? child->name.text : "_");
        switch (child->kind) {
        case E_SCRIPTNODE_BLOCK: out += (child->isClass ? "!{" : "{") + shape(child) + "}"; break;
        case E_SCRIPTNODE_FLOAT: out += "=" + std::to_string(child->getFloat()).erase(5) + "f"; break;
        case E_SCRIPTNODE_INT: out += "=" + std::to_string(child->getInt()); break;
        case E_SCRIPTNODE_TEXT: out += "='" + std::string(child->getValueString().getText()) + "'"; break;
        default: break;
        }
    }
    return out;
}

class ScriptParser : public FatalThrowingTest {
protected:
    TreePtr parse(const std::string& text, IScriptProblemSink* sink = nullptr) {
        return TreePtr(scriptParseBytes("test.txt", text.data(), u32(text.size()), &source, sink));
    }
    std::string shapeOf(const std::string& text, IScriptProblemSink* sink = nullptr) {
        return shape(parse(text, sink).get());
    }
    // The shape of the parse, and the codes of the problems it reported.
    void expectParsed(const std::string& text, const std::string& expectedShape, const Codes& expectedCodes) {
        ClCollectingSink sink;
        EXPECT_EQ(shapeOf(text, &sink), expectedShape) << text;
        Codes codes;
        for (const SSeen& seen : sink.problems) codes.push_back(seen.code);
        EXPECT_EQ(codes, expectedCodes) << text;
    }
    std::string fatalReasonOfParse(const std::string& text) {
        return fatalReasonOf([&] { parse(text); });
    }

    ClInstalledScripts source;
};

}  // namespace

TEST_F(ScriptParser, ValuesNamesTextsAndBlocksTakeTheirKinds) {
    TreePtr root = parse("");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->childCount(), 0u);
    EXPECT_EQ(root->kind, u32(E_SCRIPTNODE_BLOCK));
    EXPECT_EQ(root->named, 0u);
    EXPECT_EQ(std::string(root->name.text), "[UNNAMED]");

    // No '.' means an integer read by the C rules, which stop at the 'e'.
    EXPECT_EQ(shapeOf("a = 1; b; x = -3; scale = 0.5; mask = 0x1F; big = 1e3; neg = -.25;"),
              "a=1 b x=-3 scale=0.500f mask=31 big=1 neg=-0.25f");
    // Quoted texts keep separators; an empty one is a bare name.
    EXPECT_EQ(shapeOf("\"alone\"; title = \"a b, c; d\"; empty = \"\"; cut = \"abc=\";"),
              "_='alone' title='a b, c; d' empty cut='abc'");
    EXPECT_STREQ(parse("empty = \"\";")->getChild(0)->getValueString().getText(), "");
    // ".5" is neither a name nor a number; the ';' then closes a bare name.
    expectParsed("y = .5;", "y", {E_SCRIPTPROBLEM_IGNORED_TOKEN});

    root = parse("outer { pos { 1.0, 2.0, 3.0 } inner { deep = 7; } }");
    EXPECT_EQ(shape(root.get()), "outer{pos{_=1.000f _=2.000f _=3.000f} inner{deep=7}}");
    const ClScriptNode* pos = root->getChild(0)->getChild(0);
    EXPECT_EQ(pos->getChild(2)->name.hash, SCRIPT_UNNAMED_HASH);
    EXPECT_EQ(pos->parent, root->getChild(0));
    // A slash inside a name is no comment.
    EXPECT_EQ(shapeOf("// heading\npath/to = 4; / single slash comment\nnext = 5;"), "path/to=4 next=5");
}

TEST_F(ScriptParser, ClassBlockIsRegisteredButAMarkerOutsideANamedBlockMakesNoClass) {
    TreePtr root = parse("Boss { _class; hp = 100; }");
    EXPECT_EQ(shape(root.get()), "Boss!{_class hp=100}");
    root.reset();
    EXPECT_EQ(shapeOf("_class; { _class; }"), "_class _{_class}");
    // The destroyed tree took its class with it, so the name can be a class again.
    EXPECT_EQ(shapeOf("Boss { _class; }"), "Boss!{_class}");
}

TEST_F(ScriptParser, BlankInsideATokenKeepsTheCountedCharactersAndTextEndsAtNulOrItsEnd) {
    // The run is "ab cd" and four characters are counted: the token reads "ab c". Trailing blanks
    // before the separator are harmless.
    expectParsed("ab cd;", "ab c", {E_SCRIPTPROBLEM_BLANK_INSIDE_TOKEN});
    expectParsed("speed = 10 ;", "speed=10", {});
    EXPECT_EQ(shapeOf(std::string("a = 1;\0b = 2;", 13)), "a=1");
    expectParsed("t = \"never closed", "t='never closed'", {E_SCRIPTPROBLEM_UNCLOSED_QUOTE});
}

TEST_F(ScriptParser, ExtraClosingBraceOrQuoteKeepsTheRootAndAnUnclosedBlockIsKept) {
    testing::internal::CaptureStderr();
    TreePtr root = parse("a = 1; } b = 2; c { d = 3; }");
    // The '}' pops the quoted node, so the second quote has only the root left to close.
    TreePtr quoted = parse("\"abc}\" later = 1;");
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(shape(root.get()), "a=1");
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(quoted->childCount(), 1u);
    EXPECT_EQ(err, "test.txt:7: unmatched }\ntest.txt:5: unmatched \"\n");

    expectParsed("a { b = 1;", "a{b=1}", {E_SCRIPTPROBLEM_UNCLOSED_BLOCK});
}

TEST_F(ScriptParser, FatalProblemsNameFileAndOffset) {
    // A name after "=" is the only way to two names: blanks do not end a token.
    EXPECT_EQ(fatalReasonOfParse("speed = fast;"), "test.txt:8: two names in a row (\"speed\" then \"fast\")");
    EXPECT_EQ(fatalReasonOfParse("A { _class; } A { _class; }"),
              "test.txt:24: class \"A\" is already defined by a loaded script");
    EXPECT_EQ(fatalReasonOfParse("x = 1; <<inject[nothing.txt"), "test.txt:7: <<inject[ without ]>>");
    EXPECT_EQ(fatalReasonOfParse("<<inject[]>>"), "test.txt:0: include name \"\" must hold 1 to 767 characters");
    EXPECT_EQ(fatalReasonOfParse("\n<<inject[gone.txt]>>"), "test.txt:1: include \"gone.txt\" cannot be read");
    // The longest name is looked for, one longer refused; both are quoted cut short.
    const std::string longest(767, 'n'), quoted = "\"" + std::string(60, 'n') + "...\"";
    EXPECT_EQ(fatalReasonOfParse("<<inject[" + longest + "]>>"), "test.txt:0: include " + quoted + " cannot be read");
    EXPECT_EQ(fatalReasonOfParse("<<inject[" + longest + "n]>>"),
              "test.txt:0: include name " + quoted + " must hold 1 to 767 characters");
    // Nothing stays registered from a parse that stopped.
    EXPECT_EQ(shapeOf("A { _class; }"), "A!{_class}");
}

TEST_F(ScriptParser, SinkThatGoesOnGetsTheLaterNameNoSecondClassAndPartlyReadNumbers) {
    expectParsed("one = two = 2; A { _class; } A { _class; }", "two=2 A!{_class} A{_class}",
                 {E_SCRIPTPROBLEM_TWO_NAMES, E_SCRIPTPROBLEM_DUPLICATE_CLASS});
    EXPECT_EQ(shapeOf("A { _class; }"), "A!{_class}");
    expectParsed("a = 1e3; b = 2.5e2; c = -; d = 0X1F; e = 1.5e; f = 2.5e+;", "a=1 b=250.0f c=0 d=0 e=1.500f f=2.500f",
                 Codes(5, E_SCRIPTPROBLEM_NUMBER_WITH_TRAILING_TEXT));
}

TEST_F(ScriptParser, IncludesExpandBackToBackAndNestFromTheStartOfTheInsertedTextUpToADepthLimit) {
    source.files = {{"a.txt", "a = 1;"}, {"b.txt", "b = 2;"}, {"s", ""}, {"t.txt", "t = 1;"},
                    {"outer.txt", "<<inject[inner.txt]>> outer = 1; padding { a; b; c; d; e; f; g; h; }"},
                    {"inner.txt", "inner = 2;"}, {"sub/deep.txt", "deep = 3;"}};
    EXPECT_EQ(shapeOf("<<inject[a.txt]>><<inject[b.txt]>>c = 3;"), "a=1 b=2 c=3");
    // An include shorter than its directive must not move the search past the next one.
    EXPECT_EQ(shapeOf("<<inject[s]>> <<inject[t.txt]>>"), "t=1");
    EXPECT_EQ(shapeOf("<<inject[outer.txt]>><<inject[sub/deep.txt]>>"), "inner=2 outer=1 padding{a b c d e f g h} deep=3");

    // A chain of 17 different files: the 17th is one too deep.
    for (int i = 1; i <= 16; ++i) source.files["f" + std::to_string(i)] = "<<inject[f" + std::to_string(i + 1) + "]>>";
    source.files["f17"] = "x;";
    EXPECT_EQ(fatalReasonOfParse("<<inject[f1]>>"), "f16:0: include \"f17\" nested deeper than 16 files");
}

TEST_F(ScriptParser, AFileAlreadyBeingIncludedIsNotIncludedAgainAndIncludesStopAtTheirSizeCap) {
    // Included twice by itself, this file would make 2^16 copies before the depth limit.
    const std::string self = "<<inject[self.txt]>>\n<<inject[self.txt]>>";
    source.files["self.txt"] = self;
    ClCollectingSink sink, large;
    TreePtr root(scriptParseBytes("self.txt", self.data(), u32(self.size()), &source, &sink));
    EXPECT_EQ(sink.problems,
              (Seen{{E_SCRIPTPROBLEM_INJECT_CYCLE, "self.txt", 0}, {E_SCRIPTPROBLEM_INJECT_CYCLE, "self.txt", 21}}));
    EXPECT_EQ(source.reads["self.txt"], 0);

    // Through another file, and with another case or separator; the same file twice side by side
    // is no cycle.
    source.files["a.txt"] = "<<inject[sub/b.txt]>>";
    source.files["sub/b.txt"] = "<<inject[A.TXT]>><<inject[SUB\\b.txt]>> b;";
    expectParsed("<<inject[a.txt]>><<inject[a.txt]>>", "b b", Codes(4, E_SCRIPTPROBLEM_INJECT_CYCLE));
    EXPECT_EQ(fatalReasonOfParse("<<inject[a.txt]>>"), "sub/b.txt:0: include \"A.TXT\" is already being included here");

    source.files["big.txt"] = std::string(SCRIPT_INCLUDED_SIZE_LIMIT * 2 / 5, ' ') + "x;";
    EXPECT_EQ(shapeOf("<<inject[big.txt]>><<inject[big.txt]>><<inject[big.txt]>>", &large), "x x");
    EXPECT_EQ(large.problems, (Seen{{E_SCRIPTPROBLEM_TEXT_TOO_LARGE, "test.txt", 38}}));
}
