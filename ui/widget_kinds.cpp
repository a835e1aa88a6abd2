#include "ui/widget_kinds.h"

#include "core/string_helpers.h"
#include "render/materials.h"
#include "render/sprite_queue.h"
#include "ui/hit_regions.h"
#include "ui/switcher.h"
#include "ui/ui_draw.h"
#include "ui/ui_input.h"
#include "ui/ui_sprite.h"

#include <algorithm>

namespace {

constexpr u32 LIST_ROW_COLOUR = 0x60202838u;
constexpr u32 LIST_ALTERNATE_ROW_COLOUR = 0x60303848u;
constexpr u32 LIST_SELECTED_ROW_COLOUR = 0xC0306090u;
constexpr f32 OUTLINE_PIXELS_PER_UNIT = 3.0f;
constexpr f32 ROW_FIT_TOLERANCE = 0.01f;

template <typename T>
T* createLaidOut(const char* name, ClWidget* parent, const SWidgetLayout& layout) {
    T* widget = createWidgetOf<T>(name, parent);
    widget->setLayout(layout);
    return widget;
}

}  // namespace

SUiTextLook::SUiTextLook() { setFace(DEFAULT_FONT_FACE); }

void SUiTextLook::setFace(const char* name) { strCopyN(face, name ? name : "", sizeof face); }

void ClWidget_Label::drawCaption(const SUiDrawState& state, u32 colour) const {
    const char16_t* text = widgetDisplayText(*this);
    if (!text || !*text) return;
    drawUiText(state, state.layer + 2, screenRect(), m_look.face, m_look.size, m_look.alignment, colour,
               m_look.shadowColour, text);
}

void ClWidget_Label::draw(const SUiDrawState& state) {
    ClWidget::draw(state);
    const u32 colour = getColourOr("textColor", tint().set ? tint().colour : m_look.colour);
    drawCaption(state, colour);
}

bool ClWidget_Button::onInput(E_UiInput input) {
    if (isDisabled()) return true;
    bool taken = ClWidget::onInput(input);
    if (input == E_UIINPUT_CLICK) {
        if (const char* next = getText("nextScreenID"); next && *next) {
            const char* target = getText("targetSwitcher");
            switchWidgetByName(target && *target ? target : "TopLevelSwitcher", next);
            taken = true;
        }
    }
    return taken;
}

void ClWidget_Button::draw(const SUiDrawState& state) {
    const bool focused = uiFocus() == this;
    const SCanvasRect& r = screenRect();
    if (isDisabled()) {
        drawUiRect(state.layer, r, BUTTON_DISABLED_COLOUR, state.alpha);
        drawCaption(state, BUTTON_DISABLED_TEXT_COLOUR);
        return;
    }
    drawUiRect(state.layer, r, focused ? BUTTON_FOCUS_COLOUR : BUTTON_IDLE_COLOUR, state.alpha);
    if (focused) drawUiOutline(state.layer + 1, r, std::max(1.0f, OUTLINE_PIXELS_PER_UNIT * state.scale),
                               BUTTON_OUTLINE_COLOUR, state.alpha);
    drawCaption(state, getColourOr("textColor", tint().set ? tint().colour : look().colour));
}

ClWidget_List::ClWidget_List(const char* name) : ClWidget_Label(name) { setInt("selectedIndex", -1); }

void ClWidget_List::clearItems() {
    m_items.clear();
    m_firstRow = 0;
    m_focusRow = -1;
}

void ClWidget_List::addItem(const char16_t* text, bool enabled) { m_items.push_back(SItem{text ? text : u"", enabled}); }

void ClWidget_List::setItem(u32 index, const char16_t* text, bool enabled) {
    if (index < m_items.size()) m_items[index] = SItem{text ? text : u"", enabled};
}

u32 ClWidget_List::rowsShown() const {
    const f32 rowPixels = m_rowHeight * m_lastScale;
    const f32 height = screenRect().bottom - screenRect().top;
    // A rectangle of exactly n rows, scaled to the screen, may come out a hair short of them.
    return rowPixels > 0.0f ? std::max<u32>(1, u32(height / rowPixels + ROW_FIT_TOLERANCE)) : 1;
}

void ClWidget_List::scrollTo(s32 firstRow) {
    const s32 last = std::max<s32>(0, s32(m_items.size()) - s32(rowsShown()));
    m_firstRow = u32(std::clamp(firstRow, 0, last));
}

bool ClWidget_List::onInput(E_UiInput input) {
    if (input == E_UIINPUT_UP || input == E_UIINPUT_DOWN) {
        const s32 next = m_focusRow + (input == E_UIINPUT_UP ? -1 : 1);
        if (next < 0 || next >= s32(m_items.size())) return false;
        m_focusRow = next;
        if (u32(next) < m_firstRow) scrollTo(next);
        else if (u32(next) >= m_firstRow + rowsShown()) scrollTo(next - s32(rowsShown()) + 1);
        return true;
    }
    if (input == E_UIINPUT_CLICK && m_focusRow >= 0 && u32(m_focusRow) < m_items.size()) {
        if (m_items[size_t(m_focusRow)].enabled) {
            setInt("selectedIndex", m_focusRow);
            fireEvent("onSelect");
        }
        return true;
    }
    return ClWidget::onInput(input);
}

bool ClWidget_List::onScroll(s32 steps) {
    const s32 before = s32(m_firstRow);
    scrollTo(before - steps);
    // The highlight keeps its place on the screen: on the row that is now under a still pointer.
    if (m_focusRow >= 0)
        m_focusRow = std::clamp(m_focusRow + s32(m_firstRow) - before, 0, std::max(0, s32(m_items.size()) - 1));
    return true;
}

void ClWidget_List::onPointerOver(s32 region) {
    const s64 row = s64(m_firstRow) + region;
    if (region >= 0 && row < s64(m_items.size())) m_focusRow = s32(row);
}

SCanvasRect ClWidget_List::rowRect(u32 row) const {
    const SCanvasRect& r = screenRect();
    const f32 top = r.top + f32(row - m_firstRow) * m_rowHeight * m_lastScale;
    return {r.left, r.right, top, std::min(r.bottom, top + m_rowHeight * m_lastScale)};
}

void ClWidget_List::addHitRegions() {
    const u32 end = std::min<u32>(u32(m_items.size()), m_firstRow + rowsShown());
    for (u32 row = m_firstRow; row < end; ++row) addUiHitRegion(this, s32(row - m_firstRow), rowRect(row));
}

void ClWidget_List::draw(const SUiDrawState& state) {
    ClWidget::draw(state);
    m_lastScale = state.scale;
    scrollTo(s32(m_firstRow));
    const bool focused = uiFocus() == this;
    const u32 end = std::min<u32>(u32(m_items.size()), m_firstRow + rowsShown());
    const u32 textColour = getColourOr("textColor", look().colour);
    for (u32 row = m_firstRow; row < end; ++row) {
        const SCanvasRect r = rowRect(row);
        const SItem& item = m_items[row];
        const u32 fill = s32(row) == selectedIndex() ? LIST_SELECTED_ROW_COLOUR
                         : (row & 1)                 ? LIST_ALTERNATE_ROW_COLOUR
                                                     : LIST_ROW_COLOUR;
        drawUiRect(state.layer, r, focused && s32(row) == m_focusRow ? BUTTON_FOCUS_COLOUR : fill, state.alpha);
        drawUiText(state, state.layer + 2, {r.left + 8.0f * state.scale, r.right, r.top, r.bottom}, look().face,
                   look().size, look().alignment, item.enabled ? textColour : BUTTON_DISABLED_TEXT_COLOUR,
                   look().shadowColour, item.text.c_str());
    }
}

ClWidget_Label* createLabel(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char16_t* text) {
    ClWidget_Label* label = createLaidOut<ClWidget_Label>(name, parent, layout);
    if (text) label->setWideText("dynamicUnicodeText", text);
    return label;
}

ClWidget_Button* createButton(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char16_t* text,
                              const char* onClickCallback) {
    ClWidget_Button* button = createLaidOut<ClWidget_Button>(name, parent, layout);
    button->look().alignment = E_ALIGN_CENTRE | E_ALIGN_MIDDLE;
    if (text) button->setWideText("dynamicUnicodeText", text);
    button->setEvent("onClick", onClickCallback);
    return button;
}

ClWidget_List* createList(const char* name, ClWidget* parent, const SWidgetLayout& layout) {
    return createLaidOut<ClWidget_List>(name, parent, layout);
}
