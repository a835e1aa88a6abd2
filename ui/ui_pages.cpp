#include "ui/ui_pages.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "render/canvases.h"
#include "ui/hit_regions.h"
#include "ui/ui_input.h"
#include "ui/ui_pointer.h"
#include "ui/widget.h"

#include <algorithm>

namespace {

SLayoutPage g_pages[UI_PAGE_CAPACITY];
u32 g_pageCount = 0;

void drawTree(ClWidget* widget, const SCanvasRect& parentRect, const SUiDrawState& state, u32 lastLayer) {
    if (!widget->isVisible()) return;
    widget->layOut(parentRect, state.scale);
    widget->draw(state);
    if (g_UiFlags.inputEnabled && widget->isFocusable()) widget->addHitRegions();
    // Most widgets are leaves: they need neither the children's layer nor the canvas look-up.
    if (widget->children().empty()) return;
    SUiDrawState inner = state;
    inner.layer = std::min(state.layer + UI_LAYERS_PER_DEPTH, lastLayer - (UI_LAYERS_PER_DEPTH - 1));
    SCanvasRect childRect = widget->screenRect();
    if (const char* name = widget->getText(UI_CHILD_CANVAS)) {
        if (const SCanvas* canvas = findCanvas(name)) {
            inner.canvas = name;
            inner.scale = canvas->scale;
            childRect = canvas->rect;
        }
    }
    for (ClWidget* child : widget->children()) {
        inner.alpha = state.alpha * widget->childAlpha(child);
        drawTree(child, childRect, inner, lastLayer);
    }
}

}  // namespace

ClWidget* createLayoutPage(const char* name, const char* canvas) {
    if (findLayoutPage(name)) fatalErrorf("layout page \"%s\" is loaded already", name);
    if (g_pageCount == UI_PAGE_CAPACITY)
        fatalErrorf("layout page \"%s\": all %u pages are taken", name, UI_PAGE_CAPACITY);
    SLayoutPage& page = g_pages[g_pageCount++];
    strCopyN(page.name, name, UI_PAGE_NAME_LENGTH);
    page.nameHash = crc32TextNoCase(page.name);
    strCopyN(page.canvas, canvas, sizeof page.canvas);
    page.root = createWidget("");
    return page.root;
}

const SLayoutPage* findLayoutPage(const char* name) {
    const u32 hash = crc32TextNoCase(name);
    for (u32 i = 0; i < g_pageCount; ++i)
        if (g_pages[i].nameHash == hash) return &g_pages[i];
    return nullptr;
}

void releaseLayoutPages() { g_pageCount = 0; }

void renderUiPages() {
    if (!widgetRegistryExists() || !canvasesCreated()) return;
    clearUiHitRegions();
    for (u32 i = 0; i < g_pageCount; ++i) {
        const SCanvas* canvas = findCanvas(g_pages[i].canvas);
        if (!canvas) continue;
        SUiDrawState state;
        state.canvas = g_pages[i].canvas;
        state.scale = canvas->scale;
        state.layer = UI_FIRST_LAYER + i * UI_LAYERS_PER_PAGE;
        drawTree(g_pages[i].root, canvas->rect, state, state.layer + UI_LAYERS_PER_PAGE - 1);
    }
    drawUiPointer();
}
