// The options screen. Rules chosen here: the fields accept letters, digits, '_', '-' and '.' for
// the log-in and any printable character but the space for the passwords; Enter, keypad Enter
// and Tab end a field and keep what was typed, Esc (the one character of the callback list)
// leaves it with its text from before. Each change of an option and each accepted log-in
// writes the user save.
#include "frontend/options_screen.h"

#include "core/login_name.h"
#include "core/saved_options.h"
#include "core/string_table.h"
#include "frontend/front_end_services.h"
#include "frontend/options_pages.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "input/input_devices.h"
#include "input/text_entry.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "online/credentials.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* OPTIONS_SCREEN = "OptionsMenu";
constexpr u16 CHARACTER_ENTER = 0x0A;
constexpr u16 CHARACTER_KEYPAD_ENTER = 0x0D;
constexpr u16 CHARACTER_TAB = 0x09;
constexpr u16 CHARACTER_ESCAPE = 0x1B;
constexpr u16 FIELD_TERMINATORS[] = {CHARACTER_ENTER, CHARACTER_KEYPAD_ENTER, CHARACTER_TAB};
constexpr u16 FIELD_CALLBACK_CHARACTERS[] = {CHARACTER_ESCAPE};
constexpr s32 NO_FIELD = -1;

constexpr f32 FIELD_TEXT_SIZE = 60.0f;

struct STextFieldDef {
    const char* widget;
    const char* captionKey;
    const char* onClick;
    bool hidden;          // shown as '*'
    const char* takesKey;  // what the field takes, shown once it has kept a character out
};

const STextFieldDef FIELDS[E_TEXT_FIELD_COUNT] = {
    {"OptionsLoginName", "fe_options_login_name", "systemSetLoginButtonForTextCapture", false,
     "fe_options_login_takes"},
    {"OptionsPassword", "fe_options_password", "systemSetPasswordButtonForTextCapture", true,
     "fe_options_password_takes"},
    {"OptionsVerifyPassword", "fe_options_verify_password", "systemSetVerifyPasswordButtonForTextCapture", true,
     "fe_options_password_takes"},
};

struct SOptionsScreen {
    std::vector<u16> loginAllowed;
    std::vector<u16> passwordAllowed;
    std::string fields[E_TEXT_FIELD_COUNT];
    s32 capturing = NO_FIELD;
    bool cancelRequested = false;
};

SOptionsScreen g_options;

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void setButtonText(const char* widget, const std::u16string& text) { setLabelWideText(widget, text.c_str()); }

// A field's caption and text, smaller when they would not fit its button.
void showField(u32 field, const std::string& text) {
    std::u16string shown = optionsText(FIELDS[field].captionKey) + u"  ";
    shown += FIELDS[field].hidden ? std::u16string(text.size(), u'*') : widen(text);
    if (s32(field) == g_options.capturing) shown += u'_';
    if (auto* button = static_cast<ClWidget_Label*>(findWidgetByName(FIELDS[field].widget)))
        setFittedText(button, shown, FIELD_TEXT_SIZE);
}

std::string typedText() {
    char16_t buffer[PASSWORD_FIELD_CAPACITY > LOGIN_FIELD_CAPACITY ? PASSWORD_FIELD_CAPACITY : LOGIN_FIELD_CAPACITY];
    if (!getTypedText(buffer, sizeof buffer / sizeof buffer[0])) return {};
    std::string text;
    // The allowed lists hold ASCII only.
    for (const char16_t* c = buffer; *c; ++c) text += char(*c);
    return text;
}

void refreshOptions() {
    setButtonText("OptionsWater", optionsText("fe_options_water") + u"  " + onOffText(savedOptions().waterReflection != 0));
    for (u32 field = 0; field < E_TEXT_FIELD_COUNT; ++field) showField(field, g_options.fields[field]);
}

void stopCapture(bool keep) {
    if (g_options.capturing == NO_FIELD) return;
    if (keep) g_options.fields[g_options.capturing] = typedText();
    g_options.capturing = NO_FIELD;
    g_options.cancelRequested = false;
    setTextEntryActive(0);
}

void beginCapture(ETextField field) {
    stopCapture(true);
    const std::vector<u16>& allowed =
        field == E_TEXT_FIELD_LOGIN ? g_options.loginAllowed : g_options.passwordAllowed;
    const u32 capacity = field == E_TEXT_FIELD_LOGIN ? LOGIN_FIELD_CAPACITY : PASSWORD_FIELD_CAPACITY;
    const u16 word = field == E_TEXT_FIELD_LOGIN ? LOGIN_FIELD_WORD : PASSWORD_FIELD_WORD;
    setTextEntryActive(1);
    beginTextEntry(allowed, FIELD_TERMINATORS, FIELD_CALLBACK_CHARACTERS, nullptr, capacity,
                   TEXT_FIELD_FIRST_TIMING, TEXT_FIELD_SECOND_TIMING, word);
    g_options.capturing = s32(field);
    g_options.cancelRequested = false;
    setLabelKey("OptionsFieldHint", nullptr);
    refreshOptions();
}

void makeAllowedLists() {
    g_options.loginAllowed.clear();
    g_options.passwordAllowed.clear();
    for (u16 c = 0x21; c <= 0x7E; ++c) {
        g_options.passwordAllowed.push_back(c);
        if (isLoginNameCharacter(c)) g_options.loginAllowed.push_back(c);
    }
}

// The log-in's reply, told in the screen's notice.
void logInAnswered(void*, ELeaderboardStatus status, const char*) {
    const char* notice = nullptr;
    switch (status) {
        case E_LEADERBOARD_OK: notice = "fe_options_login_accepted"; break;
        case E_LEADERBOARD_REFUSED: notice = "fe_options_login_refused"; break;
        case E_LEADERBOARD_BAD_REPLY: notice = "fe_options_login_bad_reply"; break;
        case E_LEADERBOARD_NO_NETWORK: notice = "fe_options_login_unreachable"; break;
        case E_LEADERBOARD_CANCELLED: return;
    }
    setLabelKey("OptionsNotice", notice);
}

void writeSave() { saveWrite(1); }

void initOptions(ClWidget*) {
    for (std::string& field : g_options.fields) field.clear();
    g_options.fields[E_TEXT_FIELD_LOGIN] = songLibrary().credentials.loginName;
    setLabelKey("OptionsNotice", nullptr);
    setLabelKey("OptionsFieldHint", nullptr);
    refreshOptions();
}

void leaveOptions(ClWidget*) {
    stopCapture(false);
    // Passwords are not kept once the screen is gone.
    g_options.fields[E_TEXT_FIELD_PASSWORD].clear();
    g_options.fields[E_TEXT_FIELD_VERIFY_PASSWORD].clear();
}

// A button leading to one of the options' pages.
void createPageButton(const char* name, ClWidget* screen, f32 x, f32 y, const char* key, const char* page) {
    ClWidget_Button* button = createTextButton(name, screen, {x, y, 440, 90, TOP_CENTRE, TOP_CENTRE}, key, nullptr);
    button->setText("nextScreenID", page);
}

}  // namespace

void systemSetLoginButtonForTextCapture() { beginCapture(E_TEXT_FIELD_LOGIN); }
void systemSetPasswordButtonForTextCapture() { beginCapture(E_TEXT_FIELD_PASSWORD); }
void systemSetVerifyPasswordButtonForTextCapture() { beginCapture(E_TEXT_FIELD_VERIFY_PASSWORD); }

bool systemAttemptLogin() {
    stopCapture(true);
    const std::string& name = g_options.fields[E_TEXT_FIELD_LOGIN];
    const std::string& password = g_options.fields[E_TEXT_FIELD_PASSWORD];
    const char* notice = nullptr;
    if (name.empty()) notice = "fe_options_login_no_name";
    else if (password != g_options.fields[E_TEXT_FIELD_VERIFY_PASSWORD]) notice = "fe_options_login_mismatch";
    if (notice) {
        setLabelKey("OptionsNotice", notice);
        refreshOptions();
        return false;
    }
    SLeaderboardCredentials credentials;
    makeCredentials(name.c_str(), password.c_str(), &credentials);
    static_assert(sizeof(credentials.loginName) == sizeof(SLibraryCredentials::loginName));
    static_assert(sizeof(credentials.passwordDigest) == sizeof(SLibraryCredentials::passwordDigest));
    SLibraryCredentials kept{};
    std::memcpy(kept.loginName, credentials.loginName, sizeof credentials.loginName);
    std::memcpy(kept.passwordDigest, credentials.passwordDigest, sizeof credentials.passwordDigest);
    setLibraryCredentials(kept);
    setLeaderboardCredentials(credentials);
    writeSave();
    g_options.fields[E_TEXT_FIELD_PASSWORD].clear();
    g_options.fields[E_TEXT_FIELD_VERIFY_PASSWORD].clear();
    // Without a leaderboard service the account is only kept.
    const bool sent = leaderboardLogIn(logInAnswered, nullptr);
    setLabelKey("OptionsNotice", sent ? "fe_options_login_sending" : "fe_options_login_saved");
    refreshOptions();
    return true;
}

constexpr SUiCallbackEntry OPTIONS_UI_CALLBACKS[] = {
    {"systemInitOptionsMenu", initOptions},
    {"systemLeaveOptionsMenu", leaveOptions},
    {"systemToggleWater",
     [](ClWidget*) {
         systemToggleWater();
         writeSave();
         refreshOptions();
     }},
    {"systemSetLoginButtonForTextCapture", [](ClWidget*) { systemSetLoginButtonForTextCapture(); }},
    {"systemSetPasswordButtonForTextCapture", [](ClWidget*) { systemSetPasswordButtonForTextCapture(); }},
    {"systemSetVerifyPasswordButtonForTextCapture", [](ClWidget*) { systemSetVerifyPasswordButtonForTextCapture(); }},
    {"systemAttemptLogin", [](ClWidget*) { systemAttemptLogin(); }},
};

std::span<const SUiCallbackEntry> optionsUiCallbacks() { return OPTIONS_UI_CALLBACKS; }

void buildOptionsScreen(ClWidget* top) {
    makeAllowedLists();
    // The account kept in the save signs the client in, unless the start-up set a test account.
    if (!leaderboardCredentials().loginName[0] && songLibrary().credentials.loginName[0]) {
        SLeaderboardCredentials saved;
        std::memcpy(saved.loginName, songLibrary().credentials.loginName, sizeof saved.loginName);
        std::memcpy(saved.passwordDigest, songLibrary().credentials.passwordDigest, sizeof saved.passwordDigest);
        setLeaderboardCredentials(saved);
    }

    buildOptionsPages(top);
    ClWidget* screen = createScreen(OPTIONS_SCREEN, top);
    screen->setEvent("onBecomeVisible", "systemInitOptionsMenu");
    screen->setEvent("onBecomeInvisible", "systemLeaveOptionsMenu");
    screen->setText("defaultFocus", "OptionsWater");
    createHeading(screen, 70, "fe_options_heading");
    createTextButton("OptionsWater", screen, centredAt(200, 900, 90), "fe_options_water", "systemToggleWater");
    createPageButton("OptionsControlsPage", screen, -240, 305, "fe_options_controls", "OptionsControls");
    createPageButton("OptionsGraphicsPage", screen, 240, 305, "fe_options_graphics", "OptionsGraphics");
    createPageButton("OptionsMusicFoldersPage", screen, -240, 410, "fe_options_music_folders", "MusicFolders");
    createPageButton("OptionsAmbientPage", screen, 240, 410, "fe_options_ambient_page", "OptionsAmbientLight");
    createTextLabel(nullptr, screen, centredAt(530, 1600, 70), "fe_options_leaderboard", 56)
        ->setColour("textColor", HEADING_COLOUR);
    for (u32 field = 0; field < E_TEXT_FIELD_COUNT; ++field)
        createTextButton(FIELDS[field].widget, screen, centredAt(610.0f + 90.0f * f32(field), 900, 80),
                         FIELDS[field].captionKey, FIELDS[field].onClick);
    createTextLabel("OptionsFieldHint", screen, centredAt(875, 1700, 60), nullptr, 40)->setColour("textColor", NOTICE_COLOUR);
    createTextButton("OptionsLogin", screen, {-240, 950, 440, 90, TOP_CENTRE, TOP_CENTRE}, "fe_options_login",
                     "systemAttemptLogin");
    createTextButton("OptionsBack", screen, {240, 950, 440, 90, TOP_CENTRE, TOP_CENTRE}, "fe_back", nullptr)
        ->setText("nextScreenID", "TitleMenu");
    createTextLabel("OptionsNotice", screen, centredAt(1030, 1700, 50), nullptr, 40)->setColour("textColor", NOTICE_COLOUR);
}

void tickOptionsScreen() {
    if (g_options.capturing == NO_FIELD) return;
    if (takeTextEntryCallbackCharacter() == CHARACTER_ESCAPE) g_options.cancelRequested = true;
    if (g_options.cancelRequested) {
        stopCapture(false);
        refreshOptions();
        return;
    }
    if (!textEntryActive()) {
        stopCapture(true);
        refreshOptions();
        return;
    }
    // Characters the field does not take are kept out; the player is told which it takes.
    if (textEntryRefusedCount() > 0) setLabelKey("OptionsFieldHint", FIELDS[g_options.capturing].takesKey);
    showField(u32(g_options.capturing), typedText());
}
