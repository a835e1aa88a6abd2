// The widget kinds pages are built from: labels, buttons and lists (switchers are in
// ui/switcher.h). Each is laid out like any widget and draws itself inside its rectangle.
// Main thread only.
#pragma once

#include "ui/font_load.h"
#include "ui/widget.h"

#include <string>
#include <vector>

// How a text is drawn: face (missing faces fall back to their base face), line height in canvas
// units, alignment flags in the rectangle, colour and shadow colour (alpha 0: no shadow).
struct SUiTextLook {
    char face[64] = {};
    f32 size = 40.0f;
    u32 alignment = E_ALIGN_LEFT | E_ALIGN_MIDDLE;
    u32 colour = 0xFFFFFFFFu;
    u32 shadowColour = 0xA0000000u;

    SUiTextLook();
    void setFace(const char* name);
};

// Shows widgetDisplayText (ui/ui_draw.h) over its background, in the colour property
// "textColor", else its tint, else the look's colour.
class ClWidget_Label : public ClWidget {
public:
    using ClWidget::ClWidget;
    SUiTextLook& look() { return m_look; }
    void draw(const SUiDrawState& state) override;

protected:
    void drawCaption(const SUiDrawState& state, u32 colour) const;

private:
    SUiTextLook m_look;
};

// Colours of a button: idle, focused (with an outline), disabled.
constexpr u32 BUTTON_IDLE_COLOUR = 0xC0202838u;
constexpr u32 BUTTON_FOCUS_COLOUR = 0xE0C07818u;
constexpr u32 BUTTON_OUTLINE_COLOUR = 0xFFFFE8A0u;
constexpr u32 BUTTON_DISABLED_COLOUR = 0x80303030u;
constexpr u32 BUTTON_DISABLED_TEXT_COLOUR = 0xFF808080u;

// A label that takes the focus and the clicks: a click fires "onClick" (passed up as any
// input), then, when the button has the text property "nextScreenID", switches the switcher
// named by "targetSwitcher" (by default "TopLevelSwitcher") to it. The int property "disabled"
// (not 0) greys it out and makes it take nothing.
class ClWidget_Button : public ClWidget_Label {
public:
    using ClWidget_Label::ClWidget_Label;
    bool isDisabled() const { return getInt("disabled") != 0; }
    bool isFocusable() const override { return !isDisabled(); }
    bool onInput(E_UiInput input) override;
    void draw(const SUiDrawState& state) override;
};

// Rows of text, rowHeight canvas units each, as many as fit in the rectangle from the first
// shown row. The focused row follows the pointer and the up and down inputs, the wheel scrolls;
// a click on an enabled row sets the int property "selectedIndex" (-1 before any) and fires
// "onSelect".
class ClWidget_List : public ClWidget_Label {
public:
    explicit ClWidget_List(const char* name);

    void setRowHeight(f32 units) { m_rowHeight = units > 0.0f ? units : m_rowHeight; }
    void clearItems();
    // Texts may hold colour tags.
    void addItem(const char16_t* text, bool enabled);
    // An index beyond the items is ignored.
    void setItem(u32 index, const char16_t* text, bool enabled);
    u32 itemCount() const { return u32(m_items.size()); }
    s32 selectedIndex() const { return getIntOr("selectedIndex", -1); }
    // Rows that fit in the rectangle as last laid out (at least 1).
    u32 rowsShown() const;
    // Held so that the last page of rows stays full.
    void scrollTo(s32 firstRow);

    bool isFocusable() const override { return !m_items.empty(); }
    bool onInput(E_UiInput input) override;
    bool onScroll(s32 steps) override;
    void onPointerOver(s32 region) override;
    void addHitRegions() override;
    void draw(const SUiDrawState& state) override;

private:
    struct SItem {
        std::u16string text;
        bool enabled;
    };
    SCanvasRect rowRect(u32 row) const;

    std::vector<SItem> m_items;
    f32 m_rowHeight = 56.0f;
    f32 m_lastScale = 1.0f;
    u32 m_firstRow = 0;
    s32 m_focusRow = -1;
};

// New widgets of each kind below the parent, laid out as given.
ClWidget_Label* createLabel(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char16_t* text);
ClWidget_Button* createButton(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char16_t* text,
                              const char* onClickCallback);
ClWidget_List* createList(const char* name, ClWidget* parent, const SWidgetLayout& layout);
