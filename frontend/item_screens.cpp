// The items a player wins and fits: the collectible screen that identifies the played song's item
// with its description and its preview on the ship's hull ("RTT_IS0"), and the ship editing
// screen, one slot button per anchor of the ship (hull, left wing, right wing). A click on a slot fits the next owned item no other slot holds
// (after the last comes none: the hull's own blaster, or no gun on a wing); the description
// below the slots shows the item of the slot clicked last, and the panel on the left the ship as
// it is fitted ("RTT_SE_SHIP"). Leaving the screen writes the save.
#include "core/string_table.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "frontend/menu_previews.h"
#include "library/ship_program.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"
#include "ui/ui_variables.h"
#include "world/state/item_description.h"
#include "world/play/song_names.h"

#include <cstring>
#include <string>

namespace {

constexpr u32 DESCRIPTION_LINES = 2;
constexpr u32 RATING_ROWS = 5;
constexpr const char* SHIP_EDIT_SCREEN = "ShipEdit";
constexpr const char* COLLECTIBLE_SCREEN = "SongCollectibleIdentified";

u32 g_describedSlot = 0;

std::string numbered(const char* prefix, u32 index) { return std::string(prefix) + std::to_string(index); }

std::u16string widen(const char* text) {
    std::u16string wide;
    for (const char* c = text; *c; ++c) wide += char16_t(static_cast<unsigned char>(*c));
    return wide;
}

// Fills "<p>Name", "<p>Kind", "<p>Line0..1" and "<p>Rating0..4" from the key's item; an unknown
// or empty key empties them.
void showDescription(const char* prefix, const char* key) {
    SItemDescription description;
    const bool known = describeItem(key, &description);
    const std::string p(prefix);
    setLabelText((p + "Name").c_str(), known ? description.name : "");
    setLabelWideText((p + "Kind").c_str(), known && description.kindTextPresent ? description.kindText : u"");
    for (u32 i = 0; i < DESCRIPTION_LINES; ++i)
        setLabelWideText(numbered((p + "Line").c_str(), i).c_str(),
                         known && description.linePresent[i] ? description.lines[i] : u"");
    for (u32 i = 0; i < RATING_ROWS; ++i) {
        char16_t text[RATING_TEXT_LENGTH * 3];
        text[0] = 0;
        const SRatingLine& line = description.ratings[0][i];
        if (known && line.present) line.formatText(text, RATING_TEXT_LENGTH * 3, 1);
        setLabelWideText(numbered((p + "Rating").c_str(), i).c_str(), text);
    }
}

// The description's labels from the top edge y down, centred on x, sized by the scale.
void createDescription(ClWidget* parent, const char* prefix, f32 x, f32 y, f32 width, f32 scale) {
    const std::string p(prefix);
    createTextLabel((p + "Name").c_str(), parent, {x, y, width, 100 * scale, TOP_CENTRE, TOP_CENTRE}, nullptr, 84 * scale)
        ->setColour("textColor", HEADING_COLOUR);
    y += 100 * scale;
    createTextLabel((p + "Kind").c_str(), parent, {x, y, width, 56 * scale, TOP_CENTRE, TOP_CENTRE}, nullptr, 40 * scale)
        ->setColour("textColor", 0xFFA0B0C8u);
    y += 70 * scale;
    for (u32 i = 0; i < DESCRIPTION_LINES; ++i, y += 60 * scale)
        createTextLabel(numbered((p + "Line").c_str(), i).c_str(), parent, {x, y, width, 60 * scale, TOP_CENTRE, TOP_CENTRE},
                        nullptr, 48 * scale);
    y += 30 * scale;
    for (u32 i = 0; i < RATING_ROWS; ++i, y += 54 * scale)
        createTextLabel(numbered((p + "Rating").c_str(), i).c_str(), parent,
                        {x, y, width, 54 * scale, TOP_CENTRE, TOP_CENTRE}, nullptr, 42 * scale);
}

SCollectibleRecord* playedSongCollectible() { return songCollectibleAt(uiVariable(UIVAR_SELECTED_SONG_INDEX)); }

void initCollectible(ClWidget*) {
    const SCollectibleRecord* item = playedSongCollectible();
    showDescription("Collectible", item ? item->key : "");
    const SSongRecord* song = getSongRecord(uiVariable(UIVAR_SELECTED_SONG_INDEX));
    std::u16string wonBy;
    if (song) {
        const char16_t* caption = getLocalisedString("fe_collectible_won_by");
        wonBy = std::u16string(caption ? caption : u"") + u" " + getSongTitle(getSongNameTags(*song));
    }
    setLabelWideText("CollectibleSong", wonBy.c_str());
}

void collectibleSeen(ClWidget*) {
    if (SCollectibleRecord* item = playedSongCollectible()) item->identified = 1;
    setUiVariable(UIVAR_RESULTS_SCREEN_INIT_FROM, 1);
    showScreen("Results");
}

void showSlots() {
    for (u32 slot = 0; slot < SHIP_PROGRAM_ANCHOR_COUNT; ++slot) {
        const char16_t* name = getLocalisedString(numbered("fe_ship_slot_", slot).c_str());
        std::u16string text = std::u16string(name ? name : u"") + u": ";
        SItemDescription description;
        if (describeItem(equippedItemKey(slot), &description)) {
            text += widen(description.name);
        } else {
            const char16_t* none = getLocalisedString(slot == 0 ? "fe_ship_hull_none" : "fe_ship_wing_none");
            text += none ? none : u"";
        }
        setLabelWideText(numbered("ShipEditSlot", slot).c_str(), text.c_str());
    }
    const char* key = equippedItemKey(g_describedSlot);
    showDescription("ShipEditItem", key);
    if (!key[0]) setLabelKey("ShipEditItemLine0", g_describedSlot == 0 ? "fe_ship_hull_none_text" : "fe_ship_wing_none_text");
    const size_t owned = ownedItems().size();
    char16_t count[64];
    formatLocalisedIntByKey(count, 64, "fe_ship_items_owned", s32(owned));
    setLabelWideText("ShipEditOwned", count);
    setLabelKey("ShipEditNotice", owned ? "fe_ship_hint" : "fe_ship_no_items");
}

void initShipEdit(ClWidget*) {
    g_describedSlot = 0;
    showSlots();
}

void leaveShipEdit(ClWidget*) {
    hideShipEditPreview();
    saveWrite(1);
}

void slotClicked(ClWidget* button) {
    const char* name = button->name();
    const size_t prefix = std::strlen("ShipEditSlot");
    if (std::strncmp(name, "ShipEditSlot", prefix) != 0) return;
    const u32 slot = u32(name[prefix] - '0');
    if (slot >= SHIP_PROGRAM_ANCHOR_COUNT) return;
    const std::string next = nextItemForSlot(slot);
    equipItem(slot, next.c_str());
    g_describedSlot = slot;
    showSlots();
    // Both ship previews are built again from the items as they are now.
    hideShipEditPreview();
    hideMenuShipPreview(E_MENU_PREVIEW_MAIN_MENU);
}

}  // namespace

constexpr SUiCallbackEntry ITEM_UI_CALLBACKS[] = {
    {"systemInitCollectibleIdentified", initCollectible},
    {"systemCollectibleSeen", collectibleSeen},
    {"systemInitShipEdit", initShipEdit},
    {"systemLeaveShipEdit", leaveShipEdit},
    {"systemShipEditSlot", slotClicked},
};

std::span<const SUiCallbackEntry> itemScreenUiCallbacks() { return ITEM_UI_CALLBACKS; }

void buildItemScreens(ClWidget* top) {
    ClWidget* item = createScreen(COLLECTIBLE_SCREEN, top);
    item->setEvent("onBecomeVisible", "systemInitCollectibleIdentified");
    item->setText("defaultFocus", "CollectibleContinue");
    createHeading(item, 90, "fe_collectible_heading");
    createTextLabel("CollectibleSong", item, centredAt(230, 1600, 60), nullptr, 44);
    createDescription(item, "Collectible", -240, 320, 1100, 1.0f);
    // The won item on the ship's hull, firing, drawn from its preview target over this frame.
    ClWidget* itemPreview = createWidget("CollectiblePreview", item);
    itemPreview->setLayout({600, 330, 480, 480, TOP_CENTRE, TOP_CENTRE});
    itemPreview->setColour("backgroundColor", PANEL_COLOUR);
    createTextButton("CollectibleContinue", item, centredAt(940, 560, 110), "fe_continue", "systemCollectibleSeen");

    ClWidget* ship = createScreen(SHIP_EDIT_SCREEN, top);
    ship->setEvent("onBecomeVisible", "systemInitShipEdit");
    ship->setEvent("onBecomeInvisible", "systemLeaveShipEdit");
    ship->setText("defaultFocus", "ShipEditSlot0");
    createHeading(ship, 40, "fe_ship_heading");
    ClWidget* zone = createWidget("ShipEditPreviewZone", ship);
    // Square, as its preview target is.
    zone->setLayout({-470, 190, 620, 620, TOP_CENTRE, TOP_CENTRE});
    zone->setColour("backgroundColor", PANEL_COLOUR);
    for (u32 slot = 0; slot < SHIP_PROGRAM_ANCHOR_COUNT; ++slot) {
        ClWidget_Button* button = createButton(numbered("ShipEditSlot", slot).c_str(), ship,
                                               {450, 190 + 105.0f * f32(slot), 860, 90, TOP_CENTRE, TOP_CENTRE},
                                               nullptr, "systemShipEditSlot");
        button->look().size = 48;
    }
    createDescription(ship, "ShipEditItem", 450, 510, 860, 0.7f);
    createTextLabel("ShipEditOwned", ship, {-470, 830, 820, 56, TOP_CENTRE, TOP_CENTRE}, nullptr, 40);
    createTextLabel("ShipEditNotice", ship, {-470, 886, 820, 56, TOP_CENTRE, TOP_CENTRE}, nullptr, 40)
        ->setColour("textColor", HINT_COLOUR);
    createTextButton("ShipEditBack", ship, centredAt(960, 480, 100), "fe_back", nullptr)->setText("nextScreenID", "TitleMenu");
}

void tickItemScreens() {
    const char* shown = shownChildName("TopLevelSwitcher");
    if (!shown) return;
    if (std::strcmp(shown, SHIP_EDIT_SCREEN) == 0) {
        showShipEditPreview(findWidgetByName("ShipEditPreviewZone"));
    } else if (std::strcmp(shown, COLLECTIBLE_SCREEN) == 0) {
        const SCollectibleRecord* item = playedSongCollectible();
        showCollectiblePreview(item ? item->key : "", findWidgetByName("CollectiblePreview"));
    }
}
