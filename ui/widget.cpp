#include "ui/widget.h"

#include "core/colour.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "ui/ui_callbacks.h"
#include "ui/hit_regions.h"
#include "ui/ui_draw.h"

#include <unordered_map>

namespace {

struct SWidgetRegistry {
    bool initialised = false;
    std::vector<std::unique_ptr<ClWidget>> widgets;
    std::unordered_map<u32, ClWidget*> byHash;
    ClWidget* variables = nullptr;
};

SWidgetRegistry g_Widgets;

const char* const INPUT_EVENT_NAMES[E_UIINPUT_COUNT] = {"onUp",        "onDown",      "onLeft", "onRight",
                                                         "onClick",     "onUnClick",   "onClickAlt1",
                                                         "onClickAlt2", "onBack",      "onStart"};

}  // namespace

const char* uiInputEventName(E_UiInput input) { return input < E_UIINPUT_COUNT ? INPUT_EVENT_NAMES[input] : ""; }

ClWidget::ClWidget(const char* name) {
    strCopyN(m_name, name ? name : "", WIDGET_NAME_LENGTH);
    m_nameHash = crc32TextNoCase(m_name);
}

const ClWidget::SProperty* ClWidget::find(const char* property) const {
    const u32 hash = crc32TextNoCase(property);
    for (const SProperty& p : m_properties)
        if (p.nameHash == hash) return &p;
    return nullptr;
}

ClWidget::SProperty& ClWidget::findOrAdd(const char* property, E_WidgetProperty kind) {
    SProperty* p = const_cast<SProperty*>(find(property));
    if (!p) p = &m_properties.emplace_back(SProperty{crc32TextNoCase(property), kind, 0, {}, {}});
    p->kind = kind;
    return *p;
}

bool ClWidget::hasProperty(const char* property) const { return find(property) != nullptr; }

s32 ClWidget::getIntOr(const char* property, s32 fallback) const {
    const SProperty* p = find(property);
    if (!p || p->kind == E_WIDGETPROPERTY_TEXT || p->kind == E_WIDGETPROPERTY_WIDE_TEXT) return fallback;
    return static_cast<s32>(p->value);
}

const char* ClWidget::getText(const char* property) const {
    const SProperty* p = find(property);
    return p && p->kind == E_WIDGETPROPERTY_TEXT ? p->text.c_str() : nullptr;
}

const char16_t* ClWidget::getWideText(const char* property) const {
    const SProperty* p = find(property);
    return p && p->kind == E_WIDGETPROPERTY_WIDE_TEXT ? p->wideText.c_str() : nullptr;
}

void ClWidget::setInt64(const char* property, s64 value) { findOrAdd(property, E_WIDGETPROPERTY_INT).value = value; }

void ClWidget::setBool(const char* property, bool value) {
    findOrAdd(property, E_WIDGETPROPERTY_BOOL).value = value ? 1 : 0;
}

void ClWidget::setText(const char* property, const char* text) {
    findOrAdd(property, E_WIDGETPROPERTY_TEXT).text = text ? text : "";
}

void ClWidget::setWideText(const char* property, const char16_t* text) {
    findOrAdd(property, E_WIDGETPROPERTY_WIDE_TEXT).wideText = text ? text : u"";
}

void ClWidget::setLocalizedId(const char* property, u32 idHash) {
    findOrAdd(property, E_WIDGETPROPERTY_LOCALISED_ID).value = idHash;
}

void ClWidget::setLocalizedIdFromKey(const char* property, const char* key) {
    setLocalizedId(property, crc32TextNoCase(key));
}

void ClWidget::setColour(const char* property, u32 packedColour) {
    findOrAdd(property, E_WIDGETPROPERTY_COLOUR).value = packedColour;
}

u32 ClWidget::getColourOr(const char* property, u32 fallback) const {
    const SProperty* p = find(property);
    return p && p->kind == E_WIDGETPROPERTY_COLOUR ? static_cast<u32>(p->value) : fallback;
}

void ClWidget::setVisible(bool visible) {
    m_visible = visible;
    fireEvent(visible ? "onBecomeVisible" : "onBecomeInvisible");
}

bool ClWidget::isShown() const {
    for (const ClWidget* w = this; w; w = w->m_parent)
        if (!w->m_visible) return false;
    return true;
}

void ClWidget::setTint(u32 packedColour) {
    const SColourRGBA rgba = unpackColourARGB(packedColour);
    m_tint.set = 1;
    m_tint.colour = packedColour;
    m_tint.rgba[0] = rgba.r;
    m_tint.rgba[1] = rgba.g;
    m_tint.rgba[2] = rgba.b;
    m_tint.rgba[3] = rgba.a;
}

void ClWidget::setEvent(const char* event, const char* callbackName) {
    const u32 hash = crc32TextNoCase(event);
    std::erase_if(m_events, [hash](const SEvent& e) { return e.eventHash == hash; });
    if (callbackName && *callbackName) m_events.push_back(SEvent{hash, crc32TextNoCase(callbackName), callbackName});
}

bool ClWidget::fireEvent(const char* event) { return fireEventByHash(crc32TextNoCase(event)); }

bool ClWidget::fireEventByHash(u32 eventHash) {
    for (const SEvent& e : m_events) {
        if (e.eventHash != eventHash) continue;
        const UiCallback callback = findUiCallbackByHash(e.callbackHash);
        if (!callback) return false;
        callback(this);
        return true;
    }
    return false;
}

const char* ClWidget::firstUnregisteredCallback() const {
    for (const SEvent& e : m_events)
        if (!findUiCallbackByHash(e.callbackHash)) return e.callbackName.c_str();
    return nullptr;
}

void ClWidget::addChild(ClWidget* child) {
    if (child->m_parent)
        fatalErrorf("widget \"%s\" cannot go below \"%s\": it is below \"%s\" already", child->m_name, m_name,
                    child->m_parent->m_name);
    child->m_parent = this;
    m_children.push_back(child);
    childAdded(child);
}

void ClWidget::layOut(const SCanvasRect& parentRect, f32 scale) {
    const f32 w = m_layout.width > 0.0f ? m_layout.width * scale : parentRect.right - parentRect.left;
    const f32 h = m_layout.height > 0.0f ? m_layout.height * scale : parentRect.bottom - parentRect.top;
    const ClVec2 corner = placeRectInCanvas(parentRect, m_layout.x * scale, m_layout.y * scale, w, h, m_layout.anchor,
                                            m_layout.pivot, true);
    m_rect = {corner.x, corner.x + roundToNearest(w), corner.y, corner.y + roundToNearest(h)};
}

bool ClWidget::onInput(E_UiInput input) {
    const u32 hash = crc32TextNoCase(uiInputEventName(input));
    for (ClWidget* w = this; w; w = w->m_parent)
        if (w->fireEventByHash(hash)) return true;
    return false;
}

void ClWidget::addHitRegions() { addUiHitRegion(this, 0, m_rect); }

void ClWidget::draw(const SUiDrawState& state) {
    const u32 background = getColourOr("backgroundColor", 0);
    if (background >> 24) drawUiRect(state.layer, m_rect, background, state.alpha);
}

bool ClWidget::isSettled() const {
    for (const ClWidget* child : m_children)
        if (!child->isSettled()) return false;
    return true;
}

void initWidgetRegistry() {
    releaseWidgetRegistry();
    g_Widgets.initialised = true;
    g_Widgets.variables = createWidget(UI_VARIABLES_WIDGET_NAME);
}

void releaseWidgetRegistry() { g_Widgets = SWidgetRegistry{}; }

bool widgetRegistryExists() { return g_Widgets.initialised; }

ClWidget* adoptWidget(std::unique_ptr<ClWidget> widget, ClWidget* parent) {
    if (!g_Widgets.initialised) fatalErrorf("widget \"%s\": the widget registry is not set up", widget->name());
    if (widget->name()[0] && !g_Widgets.byHash.emplace(widget->nameHash(), widget.get()).second)
        fatalErrorf("createWidget: a widget named \"%s\" exists already", widget->name());
    ClWidget* w = g_Widgets.widgets.emplace_back(std::move(widget)).get();
    if (parent) parent->addChild(w);
    return w;
}

ClWidget* createWidget(const char* name, ClWidget* parent) {
    if (!g_Widgets.initialised) fatalErrorf("createWidget(\"%s\"): the widget registry is not set up", name);
    return adoptWidget(std::make_unique<ClWidget>(name), parent);
}

ClWidget* findWidgetByName(const char* name) {
    if (!g_Widgets.initialised || !name) return nullptr;
    const auto it = g_Widgets.byHash.find(crc32TextNoCase(name));
    return it == g_Widgets.byHash.end() ? nullptr : it->second;
}

ClWidget* getUiVariables() { return g_Widgets.variables; }

bool findUnregisteredCallback(const ClWidget** widget, const char** callbackName) {
    for (const auto& w : g_Widgets.widgets) {
        if (const char* name = w->firstUnregisteredCallback()) {
            *widget = w.get();
            *callbackName = name;
            return true;
        }
    }
    return false;
}
