#include "core/config.h"
#include "core/text_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Config : public ::testing::Test {
protected:
    void SetUp() override { configClear(); }
    void TearDown() override {
        closeTextSource();
        configFree();
    }

    void parse(const std::string& text) {
        m_text = text;
        setTextSource(m_text.data(), u32(m_text.size()));
        configParse();
        closeTextSource();
    }

    std::string m_text;
};

}  // namespace

TEST_F(Config, ValuesReadByTheirForm) {
    parse("INT 12\nHEX 0x1F\nNEG -3\nFLOAT 2.5\nPLUS +5\nEXP 1e3\nWORD hello\n");
    EXPECT_EQ(configGetInt("INT"), 12);
    EXPECT_STREQ(configGetString("INT"), "12");
    EXPECT_EQ(configGetInt("HEX"), 31);
    EXPECT_EQ(configGetInt("NEG"), -3);
    EXPECT_FLOAT_EQ(configGetFloat("FLOAT"), 2.5f);
    EXPECT_EQ(configGetInt("PLUS"), 0);
    EXPECT_EQ(configGetFloat("PLUS"), 0.0f);
    EXPECT_STREQ(configGetString("PLUS"), "+5");
    EXPECT_EQ(configGetInt("EXP"), 0);
    EXPECT_STREQ(configGetString("EXP"), "1e3");
    EXPECT_EQ(configGetInt("WORD"), 0);
    EXPECT_STREQ(configGetString("WORD"), "hello");
}

TEST_F(Config, WrongGetterConvertsTheValue) {
    parse("FIXED_DT 1\nEND_GAME_EARLY_TIME 30\nFLAG 1.0\nNEG_FLOAT -2.75\nHEX 0xFFFFFFFF\n");
    EXPECT_EQ(configGetFloat("FIXED_DT"), 1.0f);
    EXPECT_EQ(configGetFloat("Fixed_DT"), 1.0f);
    EXPECT_EQ(configGetFloat("END_GAME_EARLY_TIME"), 30.0f);
    EXPECT_EQ(configGetInt("FLAG"), 1);
    EXPECT_EQ(configGetInt("NEG_FLOAT"), -2);
    EXPECT_EQ(configGetFloat("HEX"), -1.0f);
}

TEST_F(Config, AbsentKeysGiveZeroAndNull) {
    parse("PRESENT 1\n");
    EXPECT_EQ(configGetInt("ABSENT"), 0);
    EXPECT_EQ(configGetFloat("ABSENT"), 0.0f);
    EXPECT_EQ(configGetString("ABSENT"), nullptr);
    EXPECT_FALSE(configHasKey("ABSENT"));
    EXPECT_FALSE(configHasKey(nullptr));
    EXPECT_TRUE(configHasKey("present"));
}

TEST_F(Config, QuotedValueKeepsBlanksAndTrailingNoteFallsAway) {
    parse("GAME_MUSIC_FILE \"My Music/a song.ogg\" // the song\nRESOLUTION 720 // lines\n");
    EXPECT_STREQ(configGetString("GAME_MUSIC_FILE"), "My Music/a song.ogg");
    EXPECT_EQ(configGetInt("RESOLUTION"), 720);
}

TEST_F(Config, CommentLinesAreSkipped) {
    parse("// FULLSCREEN 1\n  / / NOVSYNC 1\nLANG ger\n");
    EXPECT_FALSE(configHasKey("FULLSCREEN"));
    EXPECT_FALSE(configHasKey("NOVSYNC"));
    EXPECT_STREQ(configGetString("LANG"), "ger");
}

TEST_F(Config, LaterDuplicateWinsAndOtherKeysStayFindable) {
    // Many keys share the probe runs of a 128-slot index; removing the first mapping re-places
    // the run, so every key must still be found afterwards.
    std::string text;
    for (int i = 0; i < 60; ++i) text += "KEY_" + std::to_string(i) + " " + std::to_string(i) + "\n";
    for (int i = 0; i < 60; i += 3) text += "KEY_" + std::to_string(i) + " " + std::to_string(1000 + i) + "\n";
    parse(text);
    for (int i = 0; i < 60; ++i) {
        const std::string key = "KEY_" + std::to_string(i);
        EXPECT_EQ(configGetInt(key.c_str()), i % 3 == 0 ? 1000 + i : i) << key;
    }
}

TEST_F(Config, OverlongKeyIsCutTheSameWayWhenReadBack) {
    const std::string key31(31, 'K');
    parse(key31 + "_TAIL 5\n");
    EXPECT_EQ(configGetInt((key31 + "_TAIL").c_str()), 5);
    EXPECT_EQ(configGetInt((key31 + "_OTHER").c_str()), 5);
    EXPECT_EQ(configGetInt(key31.c_str()), 5);
    EXPECT_FALSE(configHasKey(std::string(30, 'K').c_str()));
}

TEST_F(Config, KeyWithoutValueCreatesNoEntry) {
    parse("LONELY\nEMPTY \"\"\nNEXT 2\n");
    EXPECT_FALSE(configHasKey("LONELY"));
    EXPECT_FALSE(configHasKey("EMPTY"));
    EXPECT_EQ(configGetInt("NEXT"), 2);
}

TEST_F(Config, The128thKeyLineEndsParsing) {
    std::string text;
    for (int i = 0; i < 130; ++i) text += "K" + std::to_string(i) + " " + std::to_string(i) + "\n";
    parse(text);
    EXPECT_EQ(configGetInt("K126"), 126);
    EXPECT_FALSE(configHasKey("K127"));
    EXPECT_FALSE(configHasKey("K129"));
    EXPECT_FALSE(configSetValue("LATE", "1"));
}

TEST_F(Config, EmptyValueUsesUpARecord) {
    std::string text;
    for (int i = 0; i < 126; ++i) text += "K" + std::to_string(i) + " " + std::to_string(i) + "\n";
    text += "BLANK \"\"\nLAST 1\n";
    parse(text);
    EXPECT_FALSE(configHasKey("BLANK"));
    EXPECT_FALSE(configHasKey("LAST"));
}

TEST_F(Config, CrLfFileReadsLikeLf) {
    parse("// dev\r\nLANG eng\r\nFULLSCREEN 0\r\n\r\nRESOLUTION 720\r\nFLOAT 0.5\r\n");
    EXPECT_STREQ(configGetString("LANG"), "eng");
    EXPECT_TRUE(configHasKey("FULLSCREEN"));
    EXPECT_EQ(configGetInt("RESOLUTION"), 720);
    EXPECT_FLOAT_EQ(configGetFloat("FLOAT"), 0.5f);
}

TEST_F(Config, LineLongerThanItsBufferGoesOnAsTheNextLine) {
    // The value is cut to 255 characters; the piece past 2,047 bytes is a line of its own,
    // here a key with no value.
    const std::string longValue(CONFIG_LINE_LENGTH + 100, 'v');
    parse("LONG " + longValue + "\nAFTER 7\nSPLIT " + std::string(CONFIG_LINE_LENGTH - 7, 'x') + " TAIL 9\n");
    ASSERT_NE(configGetString("LONG"), nullptr);
    EXPECT_EQ(std::string(configGetString("LONG")), std::string(CONFIG_VALUE_LENGTH - 1, 'v'));
    EXPECT_EQ(configGetInt("AFTER"), 7);
    EXPECT_EQ(configGetInt("TAIL"), 9);
}

TEST_F(Config, SignAndPointAloneAreText) {
    parse("DASH -\nDOT .\nBIGHEX 0x123456789\n");
    EXPECT_EQ(configGetInt("DASH"), 0);
    EXPECT_STREQ(configGetString("DASH"), "-");
    EXPECT_EQ(configGetFloat("DOT"), 0.0f);
    EXPECT_STREQ(configGetString("DOT"), ".");
    EXPECT_EQ(configGetInt("BIGHEX"), 0x23456789);
}

TEST_F(Config, FreedTableReadsAsEmpty) {
    parse("KEY 1\n");
    configFree();
    EXPECT_FALSE(configHasKey("KEY"));
    EXPECT_EQ(configGetInt("KEY"), 0);
}
