// The switchers over the screens: tutorial tips, the help overlay, the tooltip line, the
// partner-credits overlay of play, and the four debug lines.
#include "core/string_helpers.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "frontend/song_rows.h"
#include "library/data_file.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"
#include "ui/ui_input.h"
#include "ui/ui_variables.h"

#include <string>

namespace {

constexpr f64 CREDITS_OVERLAY_SECONDS = 6.0;
// The tips the modes and the world show, each the name of a child of "Tutorial".
constexpr const char* TUTORIAL_TIPS[] = {"BossFailResults_Step1", "MegaTip_Repair"};

f64 g_creditsShownAt = 0.0;
const char* g_shownTip = nullptr;
u32 g_shownWriteFailures = 0;

// While a save or the game data cannot be written, every page says so; the next save tries again.
const char* writeFailureKey(u32 failed) {
    if (failed & E_DAMAGED_USER_SAVE) return "fe_notice_save_failed";
    if (failed & E_DAMAGED_GAME_DATA) return "fe_notice_game_data_failed";
    return nullptr;
}

void tipDone(ClWidget*) {
    setUiVariable(UIVAR_TUTORIAL_PAUSE_FINISHED, 1);
    switchWidgetByName("Tutorial", "HideTutorial");
    setTutorialWidget(nullptr);
}

void initCreditsOverlay(ClWidget*) {
    g_creditsShownAt = realTimeNow();
    setLabelWideText("NUXCreditsSong", songDisplayText(uiVariable(UIVAR_SELECTED_SONG_INDEX)).c_str());
}

}  // namespace

constexpr SUiCallbackEntry OVERLAY_UI_CALLBACKS[] = {
    {"systemTutorialTipDone", tipDone},
    {"systemInitCreditsOverlay", initCreditsOverlay},
};

std::span<const SUiCallbackEntry> overlayUiCallbacks() { return OVERLAY_UI_CALLBACKS; }

void buildOverlays(ClWidget* tutorialPage, ClWidget* tooltipsPage, ClWidget* helpPage, ClWidget* creditsPage) {
    g_shownTip = nullptr;

    ClWidget* tutorial = createSwitcher("Tutorial", tutorialPage);
    createWidget("HideTutorial", tutorial);
    for (const char* tip : TUTORIAL_TIPS) {
        ClWidget* panel = createWidget(tip, tutorial);
        panel->setLayout(centredAt(300, 1200, 420));
        panel->setColour("backgroundColor", PANEL_COLOUR);
        const std::string button = std::string(tip) + "_OK";
        panel->setText("defaultFocus", button.c_str());
        createTextLabel(nullptr, panel, centredAt(30, 1120, 240), ("fe_tip_" + std::string(tip)).c_str(), 52);
        createTextButton(button.c_str(), panel, centredAt(300, 360, 90), "fe_ok", "systemTutorialTipDone");
    }
    switchWidgetByName("Tutorial", "HideTutorial");

    ClWidget* help = createSwitcher("HelpOverlay", helpPage);
    createWidget("HideHelpOverlay", help);
    switchWidgetByName("HelpOverlay", "HideHelpOverlay");

    ClWidget* tooltips = createSwitcher("TooltipSwitcher", tooltipsPage);
    ClWidget* all = createWidget("AllTooltips", tooltips);
    createTextLabel("TooltipText", all, {0, 20, 1600, 56, BOTTOM_CENTRE, BOTTOM_CENTRE}, nullptr, 40);
    g_shownWriteFailures = 0;
    // In the strip above every page's heading and below none of its buttons.
    createTextLabel("WriteFailedNotice", tooltipsPage, {0, 4, 1880, 36, TOP_CENTRE, TOP_CENTRE}, nullptr, 28)
        ->setColour("textColor", NOTICE_COLOUR);
    for (int i = 1; i <= 4; ++i) {
        const std::string name = "DebugInfo" + std::to_string(i);
        ClWidget_Label* line = createTextLabel(name.c_str(), tooltipsPage, {20, 20.0f + 40.0f * f32(i - 1), 1200, 40,
                                                                             TOP_LEFT, TOP_LEFT},
                                               nullptr, 32, E_ALIGN_LEFT | E_ALIGN_MIDDLE);
        line->look().setFace("SystemFont");
    }

    ClWidget* credits = createSwitcher("NUXCreditsOverlaySwitcher", creditsPage);
    createWidget("HideNUXCreditsOverlay", credits);
    ClWidget* overlay = createWidget("NUXCreditsOverlay", credits);
    overlay->setLayout({40, 200, 760, 150, TOP_RIGHT, TOP_RIGHT});
    overlay->setColour("backgroundColor", PANEL_COLOUR);
    overlay->setEvent("onBecomeVisible", "systemInitCreditsOverlay");
    createTextLabel(nullptr, overlay, {0, 10, 720, 60, TOP_CENTRE, TOP_CENTRE}, "fe_credits_now_playing", 40)
        ->setColour("textColor", HEADING_COLOUR);
    createTextLabel("NUXCreditsSong", overlay, {0, 75, 720, 60, TOP_CENTRE, TOP_CENTRE}, nullptr, 44);
    switchWidgetByName("NUXCreditsOverlaySwitcher", "HideNUXCreditsOverlay");
}

void tickOverlays() {
    const u32 failed = libraryWriteFailedFlags();
    if (failed != g_shownWriteFailures) setLabelKey("WriteFailedNotice", writeFailureKey(failed));
    g_shownWriteFailures = failed;
    const ClWidget* focus = uiFocus();
    const char* tip = focus ? focus->getText("tooltipKey") : nullptr;
    if (tip != g_shownTip) setLabelKey("TooltipText", tip);
    g_shownTip = tip;
    if (strCompareNoCase(shownChildName("NUXCreditsOverlaySwitcher"), "NUXCreditsOverlay") == 0 &&
        realTimeNow() - g_creditsShownAt >= CREDITS_OVERLAY_SECONDS)
        switchWidgetByName("NUXCreditsOverlaySwitcher", "HideNUXCreditsOverlay");
}
