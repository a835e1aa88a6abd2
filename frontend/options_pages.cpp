// Rules chosen here: the sensitivities move in whole steps; a value read from the save between
// steps is shown rounded and stepped from there. Latched fire takes effect with the next ship
// built (library/ship_program.h), the others at once.
#include "frontend/options_pages.h"

#include "core/saved_options.h"
#include "core/string_table.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "input/ambient/ambient_light.h"
#include "input/input_channels.h"
#include "library/user_save.h"
#include "ui/ui_imports.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr s32 AMBIENT_LAYOUT_FIRST = 0;
constexpr s32 AMBIENT_LAYOUT_LAST = 4;
constexpr f32 ROW_FIRST_Y = 220.0f;
constexpr f32 ROW_STEP = 110.0f;
constexpr f32 BACK_Y = 860.0f;  // above the tooltip line at the foot of the screen

// An on/off word of the saved options, shown as "caption  value".
struct SToggleOption {
    const char* widget;
    const char* captionKey;
    u32 SSavedOptions::*field;
    const char* offKey;
    const char* onKey;
    const char* tipKey;
};

const SToggleOption TOGGLES[] = {
    {"OptionsLatchedFire", "fe_options_latched_fire", &SSavedOptions::latchedFire, "fe_options_off", "fe_options_on",
     "fe_tip_options_latched_fire"},
    {"OptionsBloom", "fe_options_bloom", &SSavedOptions::bloom, "fe_options_off", "fe_options_on",
     "fe_tip_options_bloom"},
    {"OptionsLines", "fe_options_lines", &SSavedOptions::animatedLines, "option_line_val_simple",
     "option_line_val_anim", "fe_tip_options_lines"},
    {"OptionsLagReduction", "fe_options_lag_reduction", &SSavedOptions::inputLagReduction, "fe_options_off",
     "fe_options_on", "fe_tip_options_lag_reduction"},
    {"OptionsFullScreen", "fe_options_full_screen", &SSavedOptions::fullScreen, "fe_options_off", "fe_options_on",
     "fe_tip_options_next_start"},
    {"OptionsVerticalSync", "fe_options_vertical_sync", &SSavedOptions::verticalSync, "fe_options_off",
     "fe_options_on", "fe_tip_options_next_start"},
};
constexpr u32 CONTROLS_TOGGLE_COUNT = 1;  // the first toggles are on the controls page

// A sensitivity: its caption (a text with one %d), with a step down and a step up beside it.
struct SStepOption {
    const char* widget;  // the caption; widget + "Less" and widget + "More" the steps
    const char* captionKey;
    f32 SSavedOptions::*field;
    f32 lowest;
    bool pointer;  // moves nothing while the pointer is the desktop's mouse
};

const SStepOption STEPS[] = {
    {"OptionsMenuPointer", "fe_options_menu_pointer", &SSavedOptions::interfacePointerSensitivity,
     POINTER_SENSITIVITY_LOWEST, true},
    {"OptionsPlayPointer", "fe_options_play_pointer", &SSavedOptions::inGamePointerSensitivity,
     POINTER_SENSITIVITY_LOWEST, true},
    {"OptionsPadSpeed", "op_input_cont_sensitive_value", &SSavedOptions::controllerSensitivity,
     CONTROLLER_SENSITIVITY_LOWEST, false},
};

void setButtonText(const char* widget, const std::u16string& text) { setLabelWideText(widget, text.c_str()); }

void writeSave() { saveWrite(1); }

s32 shownStep(f32 value) { return s32(std::lround(value)); }

void refreshOptionPages() {
    const SSavedOptions& options = savedOptions();
    for (const SToggleOption& toggle : TOGGLES) {
        const bool on = options.*toggle.field != 0;
        setButtonText(toggle.widget, optionsText(toggle.captionKey) + u"  " + optionsText(on ? toggle.onKey : toggle.offKey));
    }
    const bool pointerMoves = !pointerFollowsWindow();
    for (const SStepOption& step : STEPS) {
        const s32 value = shownStep(options.*step.field);
        char16_t text[96];
        formatLocalisedIntByKey(text, 96, step.captionKey, value);
        setLabelWideText(step.widget, text);
        const bool usable = pointerMoves || !step.pointer;
        setOptionDisabled((std::string(step.widget) + "Less").c_str(), !usable || value <= s32(step.lowest));
        setOptionDisabled((std::string(step.widget) + "More").c_str(), !usable || value >= s32(SENSITIVITY_HIGHEST));
        if (ClWidget* caption = findWidgetByName(step.widget))
            caption->setColour("textColor", usable ? 0xFFFFFFFFu : BUTTON_DISABLED_TEXT_COLOUR);
    }
    setLabelKey("OptionsPointerNotice", pointerMoves ? nullptr : "fe_options_pointer_follows_mouse");

    const bool ambient = systemDetectamBXEnable();
    for (const char* widget : {"OptionsAmbient", "OptionsAmbientLess", "OptionsAmbientMore"}) setOptionDisabled(widget, !ambient);
    const std::u16string state = ambient ? onOffText(ambientEffectsEnabled()) : optionsText("fe_options_unavailable");
    setButtonText("OptionsAmbient", optionsText("fe_options_ambient") + u"  " + state);
    setLabelKey("OptionsAmbientNotice", ambient ? nullptr : "fe_options_ambient_absent");
}

void toggleOption(ClWidget* button) {
    const s32 index = button->getInt("optionIndex");
    if (index < 0 || index >= s32(std::size(TOGGLES))) return;
    SSavedOptions options = savedOptions();
    u32& word = options.*TOGGLES[index].field;
    word = word != 0 ? 0 : 1;
    setSavedOptions(options);
    writeSave();
    refreshOptionPages();
}

void stepOption(ClWidget* button) {
    const s32 index = button->getInt("optionIndex");
    if (index < 0 || index >= s32(std::size(STEPS))) return;
    const SStepOption& step = STEPS[index];
    SSavedOptions options = savedOptions();
    f32& value = options.*step.field;
    value = std::clamp(f32(shownStep(value) + button->getInt("step")), step.lowest, SENSITIVITY_HIGHEST);
    setSavedOptions(options);
    // The menus' pointer takes its new speed at once; the in-game one when play starts.
    updateInputSensitivity();
    writeSave();
    refreshOptionPages();
}

void changeAmbientLayout(s32 step) {
    const s32 layout = ambientLightLayout() + step;
    if (layout < AMBIENT_LAYOUT_FIRST || layout > AMBIENT_LAYOUT_LAST) return;
    setAmbientLightLayout(layout);
    setAmbientLayout(layout);
    writeSave();
}

f32 rowY(u32 row) { return ROW_FIRST_Y + ROW_STEP * f32(row); }

ClWidget* createOptionsPage(ClWidget* top, const char* name, const char* headingKey, const char* defaultFocus) {
    ClWidget* page = createScreen(name, top);
    page->setEvent("onBecomeVisible", "systemInitOptionsPage");
    page->setText("defaultFocus", defaultFocus);
    createHeading(page, 70, headingKey);
    createTextButton((std::string(name) + "Back").c_str(), page, centredAt(BACK_Y, 440, 90), "fe_back", nullptr)
        ->setText("nextScreenID", "OptionsMenu");
    return page;
}

void createToggle(ClWidget* page, u32 index, f32 y) {
    const SToggleOption& toggle = TOGGLES[index];
    ClWidget_Button* button = createTextButton(toggle.widget, page, centredAt(y, 1000, 90), toggle.captionKey,
                                               "systemToggleSavedOption");
    button->setInt("optionIndex", s32(index));
    button->setText("tooltipKey", toggle.tipKey);
}

void createStep(ClWidget* page, u32 index, f32 y) {
    const std::string name = STEPS[index].widget;
    createTextLabel(name.c_str(), page, centredAt(y, 1000, 90), nullptr, 60);
    for (s32 direction : {-1, 1}) {
        const std::string button = name + (direction < 0 ? "Less" : "More");
        ClWidget_Button* step = createTextButton(button.c_str(), page, {620.0f * f32(direction), y, 140, 90, TOP_CENTRE, TOP_CENTRE},
                                                 direction < 0 ? "fe_options_step_less" : "fe_options_step_more",
                                                 "systemStepSavedOption");
        step->setInt("optionIndex", s32(index));
        step->setInt("step", direction);
    }
}

}  // namespace

std::u16string optionsText(const char* key) {
    const char16_t* text = getLocalisedString(key);
    return text ? text : u"";
}

std::u16string onOffText(bool on) { return optionsText(on ? "fe_options_on" : "fe_options_off"); }

void setOptionDisabled(const char* widget, bool disabled) {
    if (ClWidget* w = findWidgetByName(widget)) w->setInt("disabled", disabled ? 1 : 0);
}

bool systemDetectamBXEnable() { return ambientLightingPresent(); }

void systemToggleamBXEnable() {
    if (!systemDetectamBXEnable()) return;
    if (ambientEffectsEnabled()) disableAmbientEffects();
    else enableAmbientEffects();
}

void systemDecreaseamBXQuality() {
    if (systemDetectamBXEnable()) changeAmbientLayout(-1);
}

void systemIncreaseamBXQuality() {
    if (systemDetectamBXEnable()) changeAmbientLayout(1);
}

constexpr SUiCallbackEntry OPTIONS_PAGE_UI_CALLBACKS[] = {
    {"systemInitOptionsPage", [](ClWidget*) { refreshOptionPages(); }},
    {"systemToggleSavedOption", toggleOption},
    {"systemStepSavedOption", stepOption},
    {"systemToggleamBXEnable",
     [](ClWidget*) {
         systemToggleamBXEnable();
         refreshOptionPages();
     }},
    {"systemDecreaseamBXQuality", [](ClWidget*) { systemDecreaseamBXQuality(); }},
    {"systemIncreaseamBXQuality", [](ClWidget*) { systemIncreaseamBXQuality(); }},
};

std::span<const SUiCallbackEntry> optionsPageUiCallbacks() { return OPTIONS_PAGE_UI_CALLBACKS; }

void buildOptionsPages(ClWidget* top) {
    // The focus starts on latched fire, which is never greyed out.
    ClWidget* controls = createOptionsPage(top, "OptionsControls", "fe_options_controls_heading", "OptionsLatchedFire");
    for (u32 i = 0; i < std::size(STEPS); ++i) createStep(controls, i, rowY(i));
    for (u32 i = 0; i < CONTROLS_TOGGLE_COUNT; ++i) createToggle(controls, i, rowY(u32(std::size(STEPS)) + i));
    createTextLabel("OptionsPointerNotice", controls, centredAt(rowY(u32(std::size(STEPS)) + CONTROLS_TOGGLE_COUNT), 1700, 60),
                    nullptr, 40);

    ClWidget* graphics = createOptionsPage(top, "OptionsGraphics", "fe_options_graphics_heading", TOGGLES[CONTROLS_TOGGLE_COUNT].widget);
    for (u32 i = CONTROLS_TOGGLE_COUNT; i < std::size(TOGGLES); ++i) createToggle(graphics, i, rowY(i - CONTROLS_TOGGLE_COUNT));
    createTextLabel(nullptr, graphics, centredAt(rowY(u32(std::size(TOGGLES)) - CONTROLS_TOGGLE_COUNT), 1700, 60),
                    "fe_options_next_start", 40);

    ClWidget* ambient = createOptionsPage(top, "OptionsAmbientLight", "fe_options_ambient_heading", "OptionsAmbient");
    createTextButton("OptionsAmbient", ambient, centredAt(rowY(0), 1000, 90), "fe_options_ambient", "systemToggleamBXEnable");
    createTextButton("OptionsAmbientLess", ambient, {-260, rowY(1), 480, 90, TOP_CENTRE, TOP_CENTRE},
                     "fe_options_ambient_less", "systemDecreaseamBXQuality");
    createTextButton("OptionsAmbientMore", ambient, {260, rowY(1), 480, 90, TOP_CENTRE, TOP_CENTRE},
                     "fe_options_ambient_more", "systemIncreaseamBXQuality");
    createTextLabel("OptionsAmbientNotice", ambient, centredAt(rowY(2), 1700, 60), nullptr, 40);
}
