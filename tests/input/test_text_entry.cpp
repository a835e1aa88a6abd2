// Text entry: capacities, editing keys, caps lock, terminators and the key repeat.
#include "input/input_devices.h"
#include "input/text_entry.h"
#include "tests/input/fake_input_backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::u16string ALLOWED = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
const std::vector<u16> LETTERS_AND_DIGITS(ALLOWED.begin(), ALLOWED.end());
const std::vector<u16> TERMINATORS = {0x0A};

std::u16string typed() {
    char16_t buffer[300];
    getTypedText(buffer, 300);
    return buffer;
}

void tap(u32 code) {
    handleTextKey(1, code, true);
    handleTextKey(0, code, true);
}

class TextEntry : public ::testing::Test {
protected:
    void SetUp() override {
        inputSetBackend(&backend);
        setKeyRepeatTimings(0.5f, 0.1f);
    }
    void TearDown() override {
        endTextEntry();
        inputSetBackend(nullptr);
    }
    void begin(u32 capacity, const char16_t* initial = nullptr) {
        beginTextEntry(LETTERS_AND_DIGITS, TERMINATORS, {}, initial, capacity, 0.5f, 0.1f, 63);
    }
    ClFakeInputBackend backend;
};

TEST_F(TextEntry, CapacityKeepsOneLessAndTheCopyIsCut) {
    begin(17);
    for (int i = 0; i < 17; ++i) tap(0x10 + u32(i % 10));  // q w e r t y u i o p ...
    EXPECT_EQ(typed(), u"qwertyuiopqwerty");
    char16_t small[8];
    EXPECT_EQ(getTypedText(small, 8), 1u);
    EXPECT_EQ(getTypedText(nullptr, 8), 0u);
    EXPECT_EQ(std::u16string(small), u"qwertyu");
}

TEST_F(TextEntry, EditingKeysMoveTheCursorInsertOverwriteAndDelete) {
    begin(21, u"abc");
    // Backspace at the end; home; backspace at 0 does nothing; x inserted at the front; overwrite
    // on; z over a; end; overwrite at the end appends z; delete at the end does nothing.
    for (u32 code : {0x0E, 0xC7, 0x0E, 0x2D, 0xD2, 0x2C, 0xCF, 0x2C, 0xD3}) tap(code);
    tap(0x10);  // q lands at the cursor, after the last z
    EXPECT_EQ(typed(), u"xzbzq");
}

TEST_F(TextEntry, CapsLockAndShiftAndEnterEndsTheEntry) {
    backend.capsLock = true;
    setTextEntryActive(1);
    begin(21);
    tap(0x1E);                     // A
    handleTextKey(1, 0x2A, true);  // shift down
    tap(0x1E);                     // a
    tap(0x03);                     // @ is not allowed
    handleTextKey(0, 0x2A, true);
    tap(0x1C);                     // Enter
    EXPECT_EQ(typed(), u"Aa");
    EXPECT_EQ(textEntryActive(), 0u);
    EXPECT_EQ(u32(textCharacterOfKey(300, false, false, false)), 0u);
}

TEST_F(TextEntry, CharactersTheListKeepsOutAreCountedButNotTheCallbacksOwnWhichIsTakenOnce) {
    beginTextEntry(LETTERS_AND_DIGITS, TERMINATORS, std::vector<u16>{0x1B}, nullptr, 21, 0.5f, 0.1f, 63);
    tap(0x1E);  // a
    tap(0x28);  // ' is not allowed
    tap(0x39);  // nor the space
    tap(0x01);  // Esc is the callback's
    EXPECT_EQ(typed(), u"a");
    EXPECT_EQ(textEntryRefusedCount(), 2u);
    EXPECT_EQ(takeTextEntryCallbackCharacter(), 0x1B);
    EXPECT_EQ(takeTextEntryCallbackCharacter(), 0);
    begin(21);
    EXPECT_EQ(textEntryRefusedCount(), 0u);
}

TEST_F(TextEntry, AHeldKeyRepeatsHalfASecondAfterItsFrameThenEveryTenth) {
    begin(0);
    handleTextKey(1, 0x1F, true);  // s held
    // The frame that takes the press may have been long; none of its time counts.
    updateKeyRepeat(1.0f);
    EXPECT_EQ(typed().size(), 1u);
    std::vector<size_t> lengths;
    for (int frame = 0; frame < 14; ++frame) {
        updateKeyRepeat(0.0625f);  // a step the timers hold exactly
        lengths.push_back(typed().size());
    }
    handleTextKey(0, 0x1F, true);
    updateKeyRepeat(1.0f);
    EXPECT_EQ(lengths[6], 1u);   // 0.4375 s held
    EXPECT_EQ(lengths[7], 2u);   // 0.5 s: the first repeat
    EXPECT_EQ(lengths[8], 2u);
    EXPECT_EQ(lengths[9], 3u);   // a tenth later (two steps of 0.0625 s)
    EXPECT_EQ(lengths[13], 5u);
    EXPECT_EQ(typed().size(), 5u);
}

}  // namespace
