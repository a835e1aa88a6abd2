#include "core/script_cache.h"
#include "core/script_node.h"
#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"
#include "tests/support/memory_script_source.h"

#include <string>

using namespace test_support;

namespace {

class ScriptCache : public FatalThrowingTest {
protected:
    ClInstalledScripts source;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The chained table

TEST(ScriptRegistry, BucketHashUsesSignedBytesAndASinglePrecisionProduct) {
    // 0xC3 and 0xA9 count as -61 and -87; the product's sign goes with abs. Sums 16385 and 16387:
    // the exact product 268500995 rounds to 268500992 in single precision (bucket 16, where the
    // exact product would give bucket 19).
    std::string key;
    for (int i = 0; i < 129; ++i) key += "\x7F\x7F";
    EXPECT_EQ(scriptBucketHash("\xC3\xA9"), 5307u);
    EXPECT_EQ(scriptBucketHash("\xC3\x41"), 61u * 65u);
    EXPECT_EQ(scriptBucketHash((key + "\x02\x04").c_str()), 268500992u);
}

// ---------------------------------------------------------------------------------------------
// Cache

TEST_F(ScriptCache, MissingScriptIsRetriedAndFreeAllEmptiesBothRegistries) {
    EXPECT_EQ(getScript("sos.txt", 0), nullptr);
    EXPECT_EQ(getScript("sos.txt", 0), nullptr);
    EXPECT_EQ(source.reads["sos.txt"], 2);
    // Once the file exists, it is loaded.
    source.files["sos.txt"] = "movie = 1;";
    EXPECT_NE(getScript("sos.txt", 0), nullptr);

    source.files.insert({{"a.txt", "A { _class; }"}, {"b.txt", "B { _class; }"}});
    getScript("a.txt", 0), getScript("b.txt", 0);
    // A is loaded again after freeing: its class went with the trees, or it would be defined twice.
    freeAllScripts();
    EXPECT_NE(getScript("a.txt", 0), nullptr);
    EXPECT_EQ(source.reads["a.txt"], 2);
}

TEST_F(ScriptCache, NullTreeOrAMissingChildStopsNamingTheScript) {
    ClScriptNode* missing = getScript("sos.txt", 0);
    const std::string reason = fatalReasonOf([&] { ClScriptNode::getNamedChildOrDie(missing, "zones"); });
    EXPECT_NE(reason.find("\"sos.txt\""), std::string::npos) << reason;

    source.files["playbalance.txt"] = "death_penalty { 1, 2 }";
    ClScriptNode* tree = getScript("playbalance.txt", 0);
    EXPECT_EQ(fatalReasonOf([&] { ClScriptNode::getNamedChildOrDie(tree, "death_penalty")->getChild(5); }),
              "script \"playbalance.txt\" death_penalty: child 5 asked for, but it has 2");
}

TEST_F(ScriptCache, ReloadingAScriptKeepsItsClass) {
    source.files["a.txt"] = "Boss { _class; hp = 1; }";
    ASSERT_NE(getScript("a.txt", 0), nullptr);
    ClScriptNode* reloaded = getScript("a.txt", 1);
    ASSERT_NE(reloaded, nullptr);
    source.files["b.txt"] = "Boss { _class; }";
    EXPECT_EQ(fatalReasonOf([&] { getScript("b.txt", 0); }), "b.txt:13: class \"Boss\" is already defined by a loaded script");
}
