// Widgets by name and their named properties: what the game code reads and writes of the
// interface (the HUD's texts and colours, the interface variables such as "selectedSongIndex").
// Widgets and properties are found by the name hash, so letter case does not matter.
//
// Main thread only.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

constexpr u32 WIDGET_NAME_LENGTH = 64;
// The widget whose properties are the interface variables.
constexpr const char* UI_VARIABLES_WIDGET_NAME = "UIRoot";

enum E_WidgetProperty : u32 {
    E_WIDGETPROPERTY_INT = 0,
    E_WIDGETPROPERTY_BOOL,
    E_WIDGETPROPERTY_TEXT,         // narrow text ("dynamicText")
    E_WIDGETPROPERTY_WIDE_TEXT,    // UTF-16 text ("dynamicUnicodeText")
    E_WIDGETPROPERTY_LOCALISED_ID, // name hash of a string-table key ("localizedID")
    E_WIDGETPROPERTY_COLOUR,       // packed ARGB ("textColor")
};

// The widget's tint: set flag, packed colour and the same as four floats (byte / 255).
struct SWidgetTint {
    u32 set = 0;
    u32 colour = 0xFFFFFFFFu;
    f32 rgba[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

class ClWidget;
using WidgetVisibilityCallback = void (*)(ClWidget* widget, bool visible, void* user);

class ClWidget {
public:
    // The name is cut to WIDGET_NAME_LENGTH - 1 characters.
    explicit ClWidget(const char* name);

    const char* name() const { return m_name; }
    u32 nameHash() const { return m_nameHash; }

    bool hasProperty(const char* property) const;
    // An int, bool, localised-id or colour property as an integer; fallback when absent or
    // text.
    s32 getIntOr(const char* property, s32 fallback) const;
    s32 getInt(const char* property) const { return getIntOr(property, 0); }
    // Null when absent or not text of that width.
    const char* getText(const char* property) const;
    const char16_t* getWideText(const char* property) const;

    // Setters add the property when absent and give it their kind when it had another.
    void setInt(const char* property, s32 value);
    void setBool(const char* property, bool value);
    // Null sets an empty text.
    void setText(const char* property, const char* text);
    void setWideText(const char* property, const char16_t* text);
    void setLocalizedId(const char* property, u32 idHash);
    // The key's name hash (null or empty: 0).
    void setLocalizedIdFromKey(const char* property, const char* key);
    void setColour(const char* property, u32 packedColour);

    // Stores the flag and runs the callback with it on every call, as the interface's
    // "onBecomeVisible" and "onBecomeInvisible" events do.
    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }
    void setVisibilityCallback(WidgetVisibilityCallback callback, void* user);

    void setTint(u32 packedColour);
    const SWidgetTint& tint() const { return m_tint; }

private:
    struct SProperty {
        u32 nameHash;
        E_WidgetProperty kind;
        s32 value;
        std::string text;
        std::u16string wideText;
    };
    const SProperty* find(const char* property) const;
    SProperty& findOrAdd(const char* property, E_WidgetProperty kind);

    char m_name[WIDGET_NAME_LENGTH] = {};
    u32 m_nameHash = 0;
    bool m_visible = true;
    WidgetVisibilityCallback m_callback = nullptr;
    void* m_callbackUser = nullptr;
    SWidgetTint m_tint;
    std::vector<SProperty> m_properties;
};

// Sets up the registry with the interface variables widget. Again: everything is released first.
void initWidgetRegistry();
// Destroys every widget; findWidgetByName answers null afterwards.
void releaseWidgetRegistry();

// A new widget registered under its name; a name already registered (or no registry) is fatal.
ClWidget* createWidget(const char* name);
// The widget registered under the name, or null (also before the registry exists).
ClWidget* findWidgetByName(const char* name);
// The interface variables widget; null before the registry exists.
ClWidget* getUiVariables();
