#include "core/fatal_error.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/script_parser.h"
#include "core/vec.h"
#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"
#include "tests/support/memory_script_source.h"

#include <memory>
#include <string>

using namespace test_support;

namespace {

using TreePtr = std::unique_ptr<ClScriptNode>;

class ScriptNode : public FatalThrowingTest {
protected:
    static TreePtr parse(const std::string& text) {
        return TreePtr(scriptParseBytes("node.txt", text.data(), u32(text.size()), nullptr, nullptr));
    }
    ClInstalledScripts m_scripts;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Values by kind

// An integer read as a float gives its value; a float read as an integer truncates toward zero.
TEST_F(ScriptNode, ValuesReadAsTheOtherKindAreConvertedAndNonNumbersReadAsZero) {
    TreePtr root = parse("scale = 2; neg = -7; a = 2.9; b = -2.9; c = 0.4; "
                         "big = 5000000000.0; small = -5000000000.0;");
    EXPECT_EQ(ClScriptNode::getNamedChildOrDie(root.get(), "neg")->getFloat(), -7.0f);
    EXPECT_EQ(ClScriptNode::getNamedChildOrDie(root.get(), "b")->getInt(), -2);
    EXPECT_EQ(ClScriptNode::getNamedChildOrDie(root.get(), "big")->getInt(), INT32_MAX);
    EXPECT_EQ(ClScriptNode::getNamedChildOrDie(root.get(), "small")->getInt(), INT32_MIN);

    TreePtr other = parse("t = \"text\"; bare; blk { x = 1; }");
    for (const char* name : {"t", "bare", "blk"}) EXPECT_EQ(ClScriptNode::getNamedChildOrDie(other.get(), name)->getFloat(), 0.0f) << name;
}

// ---------------------------------------------------------------------------------------------
// Finding children

TEST_F(ScriptNode, NamedLookupSkipsUnnamedChildrenAndIgnoresCase) {
    TreePtr root = parse("\"text\"; Speed = 4;");
    EXPECT_EQ(root->findChild("SPEED"), root->getChild(1));
    // The unnamed text answers to "[UNNAMED]" in the plain look-ups only.
    EXPECT_EQ(ClScriptNode::getChildOrDie(root.get(), "[UNNAMED]"), root->getChild(0));
    EXPECT_NE(fatalReasonOf([&] { ClScriptNode::getNamedChildOrDie(root.get(), "[UNNAMED]"); }).find("no such child"), std::string::npos);
}

TEST_F(ScriptNode, MissingChildStopsWithThePathOfTheNodeAndANullTreeStopsInsteadOfCrashing) {
    TreePtr root = parse("spawn_bar_range { { 1, 2 } { 3 } }");
    const ClScriptNode* range = ClScriptNode::getNamedChildOrDie(root.get(), "spawn_bar_range");
    EXPECT_EQ(fatalReasonOf([&] { range->getChild(1)->getChild(1); }),
              "script \"(not cached)\" spawn_bar_range/[1]: child 1 asked for, but it has 1");
    EXPECT_EQ(fatalReasonOf([&] { ClScriptNode::getChildOrDie(root.get(), "absent"); }),
              "script \"(not cached)\" (root): getChildOrDie(\"absent\"): no such child");

    EXPECT_EQ(fatalReasonOf([] { ClScriptNode::getNamedChildOrDie(nullptr, "x"); }),
              "script: getNamedChildOrDie(\"x\") on a null tree (last script that could not be loaded: \"none\")");
    setFatalErrorHook(nullptr);
    EXPECT_EXIT(ClScriptNode::getChildOrDie(nullptr, "x"), ::testing::ExitedWithCode(3), "getChildOrDie.*null tree");
}

// ---------------------------------------------------------------------------------------------
// Lifetime
