#include "ui/widget.h"

#include "core/colour.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"

#include <memory>
#include <unordered_map>

namespace {

struct SWidgetRegistry {
    bool initialised = false;
    std::vector<std::unique_ptr<ClWidget>> widgets;
    std::unordered_map<u32, ClWidget*> byHash;
    ClWidget* variables = nullptr;
};

SWidgetRegistry g_Widgets;

}  // namespace

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
    return p->value;
}

const char* ClWidget::getText(const char* property) const {
    const SProperty* p = find(property);
    return p && p->kind == E_WIDGETPROPERTY_TEXT ? p->text.c_str() : nullptr;
}

const char16_t* ClWidget::getWideText(const char* property) const {
    const SProperty* p = find(property);
    return p && p->kind == E_WIDGETPROPERTY_WIDE_TEXT ? p->wideText.c_str() : nullptr;
}

void ClWidget::setInt(const char* property, s32 value) { findOrAdd(property, E_WIDGETPROPERTY_INT).value = value; }

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
    findOrAdd(property, E_WIDGETPROPERTY_LOCALISED_ID).value = static_cast<s32>(idHash);
}

void ClWidget::setLocalizedIdFromKey(const char* property, const char* key) {
    setLocalizedId(property, crc32TextNoCase(key));
}

void ClWidget::setColour(const char* property, u32 packedColour) {
    findOrAdd(property, E_WIDGETPROPERTY_COLOUR).value = static_cast<s32>(packedColour);
}

void ClWidget::setVisible(bool visible) {
    m_visible = visible;
    if (m_callback) m_callback(this, visible, m_callbackUser);
}

void ClWidget::setVisibilityCallback(WidgetVisibilityCallback callback, void* user) {
    m_callback = callback;
    m_callbackUser = user;
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

void initWidgetRegistry() {
    releaseWidgetRegistry();
    g_Widgets.initialised = true;
    g_Widgets.variables = createWidget(UI_VARIABLES_WIDGET_NAME);
}

void releaseWidgetRegistry() { g_Widgets = SWidgetRegistry{}; }

ClWidget* createWidget(const char* name) {
    if (!g_Widgets.initialised) fatalErrorf("createWidget(\"%s\"): the widget registry is not set up", name);
    auto widget = std::make_unique<ClWidget>(name);
    if (!g_Widgets.byHash.emplace(widget->nameHash(), widget.get()).second)
        fatalErrorf("createWidget: a widget named \"%s\" exists already", widget->name());
    return g_Widgets.widgets.emplace_back(std::move(widget)).get();
}

ClWidget* findWidgetByName(const char* name) {
    if (!g_Widgets.initialised || !name) return nullptr;
    const auto it = g_Widgets.byHash.find(crc32TextNoCase(name));
    return it == g_Widgets.byHash.end() ? nullptr : it->second;
}

ClWidget* getUiVariables() { return g_Widgets.variables; }
