// Widgets by name and their named properties: what the game code reads and writes of the
// interface (the HUD's texts and colours, the interface variables such as "selectedSongIndex").
// Widgets, properties, events and callbacks are found by the name hash, so letter case does not
// matter.
//
// A widget sits in a tree under a page (ui/ui_pages.h), is laid out in its parent's rectangle,
// and answers events ("onClick", "onBecomeVisible", ...) by running the callback registered
// under the name the event holds (ui/ui_callbacks.h). The kinds that draw something or take
// input are in ui/widget_kinds.h and ui/switcher.h.
//
// Main thread only.
#pragma once

#include "core/types.h"
#include "render/canvases.h"

#include <memory>
#include <string>
#include <vector>

constexpr u32 WIDGET_NAME_LENGTH = 64;
// The widget whose properties are the interface variables.
constexpr const char* UI_VARIABLES_WIDGET_NAME = "UIRoot";

enum E_WidgetProperty : u32 {
    E_WIDGETPROPERTY_INT = 0,      // 64 bits: also holds a pointer
    E_WIDGETPROPERTY_BOOL,
    E_WIDGETPROPERTY_TEXT,         // narrow text ("dynamicText")
    E_WIDGETPROPERTY_WIDE_TEXT,    // UTF-16 text ("dynamicUnicodeText")
    E_WIDGETPROPERTY_LOCALISED_ID, // name hash of a string-table key ("localizedID")
    E_WIDGETPROPERTY_COLOUR,       // packed ARGB ("textColor")
};

// The inputs the interface sends to the focused widget; each is the event of the same name.
enum E_UiInput : u32 {
    E_UIINPUT_UP = 0,
    E_UIINPUT_DOWN,
    E_UIINPUT_LEFT,
    E_UIINPUT_RIGHT,
    E_UIINPUT_CLICK,
    E_UIINPUT_UNCLICK,
    E_UIINPUT_CLICK_ALT1,
    E_UIINPUT_CLICK_ALT2,
    E_UIINPUT_BACK,
    E_UIINPUT_START,
    E_UIINPUT_COUNT
};
// "onUp", "onDown", "onLeft", "onRight", "onClick", "onUnClick", "onClickAlt1", "onClickAlt2",
// "onBack", "onStart".
const char* uiInputEventName(E_UiInput input);

// The widget's tint: set flag, packed colour and the same as four floats (byte / 255).
struct SWidgetTint {
    u32 set = 0;
    u32 colour = 0xFFFFFFFFu;
    f32 rgba[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

// Where a widget sits in its parent's rectangle, in canvas units of its page's canvas: the
// anchor names the point of the parent, the pivot the point of the widget placed there, moved
// by (x, y). A width or height of 0 takes the parent's.
struct SWidgetLayout {
    f32 x = 0.0f;
    f32 y = 0.0f;
    f32 width = 0.0f;
    f32 height = 0.0f;
    u32 anchor = E_ALIGN_LEFT | E_ALIGN_TOP;
    u32 pivot = E_ALIGN_LEFT | E_ALIGN_TOP;
};

// What a widget draws with: its page's canvas and its pixels per canvas unit, the first sprite
// layer of its depth (the widget uses that layer and the next two), and the opacity its
// ancestors pass on.
struct SUiDrawState {
    const char* canvas = "FULL";
    f32 scale = 1.0f;
    u32 layer = 0;
    f32 alpha = 1.0f;
};

class ClWidget {
public:
    // The name is cut to WIDGET_NAME_LENGTH - 1 characters.
    explicit ClWidget(const char* name);
    virtual ~ClWidget() = default;
    ClWidget(const ClWidget&) = delete;
    ClWidget& operator=(const ClWidget&) = delete;

    const char* name() const { return m_name; }
    u32 nameHash() const { return m_nameHash; }

    bool hasProperty(const char* property) const;
    // An int, bool, localised-id or colour property, cut to 32 bits; fallback when absent or
    // text.
    s32 getIntOr(const char* property, s32 fallback) const;
    s32 getInt(const char* property) const { return getIntOr(property, 0); }
    // Null when absent or not text of that width.
    const char* getText(const char* property) const;
    const char16_t* getWideText(const char* property) const;

    // Setters add the property when absent and give it their kind when it had another.
    void setInt(const char* property, s32 value) { setInt64(property, value); }
    void setInt64(const char* property, s64 value);
    void setBool(const char* property, bool value);
    // Null sets an empty text.
    void setText(const char* property, const char* text);
    void setWideText(const char* property, const char16_t* text);
    void setLocalizedId(const char* property, u32 idHash);
    // The key's name hash (null or empty: 0).
    void setLocalizedIdFromKey(const char* property, const char* key);
    void setColour(const char* property, u32 packedColour);
    // The property's colour when it is a colour property, else the fallback.
    u32 getColourOr(const char* property, u32 fallback) const;

    // Stores the flag and fires "onBecomeVisible" or "onBecomeInvisible", on every call.
    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }
    // The flag alone: no callback, no event (a switcher hiding the children it takes in).
    void setVisibleQuietly(bool visible) { m_visible = visible; }
    // Visible, and so is every ancestor.
    bool isShown() const;

    void setTint(u32 packedColour);
    const SWidgetTint& tint() const { return m_tint; }

    // The event runs the callback registered under the name; null or empty removes the event.
    void setEvent(const char* event, const char* callbackName);
    // Runs the event's callback with this widget. False when the widget has no such event or its
    // callback is not registered.
    bool fireEvent(const char* event);
    bool fireEventByHash(u32 eventHash);
    // The name of the first callback an event of this widget names but nobody registered; null
    // when every one is registered.
    const char* firstUnregisteredCallback() const;

    ClWidget* parent() const { return m_parent; }
    const std::vector<ClWidget*>& children() const { return m_children; }
    // A widget with a parent already is fatal.
    void addChild(ClWidget* child);

    void setLayout(const SWidgetLayout& layout) { m_layout = layout; }
    const SWidgetLayout& layout() const { return m_layout; }
    // Places the widget in the parent's rectangle (pixels) at scale pixels per canvas unit.
    void layOut(const SCanvasRect& parentRect, f32 scale);
    // Pixels, as last laid out.
    const SCanvasRect& screenRect() const { return m_rect; }

    // Focusable widgets get pointer hit regions and the inputs of updateUiInput.
    virtual bool isFocusable() const { return false; }
    // The inputs: by default the event of the input's name, passed up to the nearest ancestor
    // that has it. False when nothing took the input.
    virtual bool onInput(E_UiInput input);
    // Wheel steps (up positive); by default passed up to the parent. False when nothing took
    // them.
    virtual bool onScroll(s32 steps) { return m_parent ? m_parent->onScroll(steps) : false; }
    // The pointer is over the widget's hit region number `region` (its own is 0).
    virtual void onPointerOver(s32 region) { (void)region; }
    // Its hit regions for the frame: by default its rectangle as region 0.
    virtual void addHitRegions();
    // Its own look, before its children; the default fills the rectangle with the colour
    // property "backgroundColor" when the widget has one.
    virtual void draw(const SUiDrawState& state);
    // The opacity a child is drawn with (switchers fade a new child in).
    virtual f32 childAlpha(const ClWidget* child) const {
        (void)child;
        return 1.0f;
    }
    // No transition under way here or below.
    virtual bool isSettled() const;

protected:
    // After addChild has linked the child.
    virtual void childAdded(ClWidget* child) { (void)child; }

private:
    struct SProperty {
        u32 nameHash;
        E_WidgetProperty kind;
        s64 value;
        std::string text;
        std::u16string wideText;
    };
    struct SEvent {
        u32 eventHash;
        u32 callbackHash;
        std::string callbackName;
    };
    const SProperty* find(const char* property) const;
    SProperty& findOrAdd(const char* property, E_WidgetProperty kind);

    char m_name[WIDGET_NAME_LENGTH] = {};
    u32 m_nameHash = 0;
    bool m_visible = true;
    SWidgetTint m_tint;
    std::vector<SProperty> m_properties;
    std::vector<SEvent> m_events;
    ClWidget* m_parent = nullptr;
    std::vector<ClWidget*> m_children;
    SWidgetLayout m_layout;
    SCanvasRect m_rect{0.0f, 0.0f, 0.0f, 0.0f};
};

// Sets up the registry with the interface variables widget. Again: everything is released first.
void initWidgetRegistry();
// Destroys every widget; findWidgetByName answers null afterwards.
void releaseWidgetRegistry();
bool widgetRegistryExists();

// Takes the widget into the registry, under its name unless it has none, and below the parent
// when one is given. A name already registered (or no registry) is fatal.
ClWidget* adoptWidget(std::unique_ptr<ClWidget> widget, ClWidget* parent);
// A new plain widget registered under its name.
ClWidget* createWidget(const char* name, ClWidget* parent = nullptr);
template <typename T, typename... Args>
T* createWidgetOf(const char* name, ClWidget* parent, Args&&... args) {
    return static_cast<T*>(adoptWidget(std::make_unique<T>(name, std::forward<Args>(args)...), parent));
}
// The widget registered under the name, or null (also before the registry exists).
ClWidget* findWidgetByName(const char* name);
// The interface variables widget; null before the registry exists.
ClWidget* getUiVariables();
// The first widget (in creation order) with an event whose callback nobody registered, and that
// callback's name; false when there is none.
bool findUnregisteredCallback(const ClWidget** widget, const char** callbackName);
