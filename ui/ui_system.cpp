#include "ui/ui_system.h"

#include "core/fatal_error.h"
#include "render/texture.h"
#include "ui/font_face.h"
#include "ui/font_load.h"
#include "ui/hit_regions.h"
#include "ui/ui_draw.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_pointer.h"
#include "ui/ui_sprite.h"
#include "ui/ui_variables.h"
#include "ui/widget.h"

#include <string>

void initUi() {
    initWidgetRegistry();
    releaseLayoutPages();
    clearUiHitRegions();
    resetUiInput();
    g_UiFlags = SUiFlags{};
    setUiPointerImage(0, nullptr);
    initUiVariables();
}

bool loadUiImage(const char* name, u32 flags) {
    (void)flags;
    if (findUiSprite(name)) return true;
    const std::string path = std::string(UI_IMAGE_FOLDER) + name;
    if (!textureFileExists(path.c_str(), ".png")) return false;
    ClTexture* texture = loadTexture(path.c_str(), false, ".png");
    if (!texture) return false;
    SUiSprite sprite;
    sprite.texture = texture;
    registerUiSprite(name, sprite);
    return true;
}

void loadUiFonts() {
    loadStartupFontFaces();
    initUiDraw();
}

void finishUiPageLoad() {
    const ClWidget* widget = nullptr;
    const char* callback = nullptr;
    if (findUnregisteredCallback(&widget, &callback))
        fatalErrorf("widget \"%s\" names the callback \"%s\", which nobody registered", widget->name(), callback);
}

void shutdownUi() {
    resetUiInput();
    g_UiFlags = SUiFlags{};
    clearUiHitRegions();
    releaseLayoutPages();
    releaseWidgetRegistry();
    releaseUiDraw();
    releaseFontFaces();
    releaseUiSprites();
}

bool uiExists() { return widgetRegistryExists(); }

s32 uiQuitVetoed() {
    const ClWidget* root = getUiVariables();
    return root && root->hasProperty(UIVAR_ALLOW_QUIT) && root->getInt(UIVAR_ALLOW_QUIT) != 1 ? 1 : 0;
}

s32 uiGoToActionRequested() { return uiVariable(UIVAR_GO_TO_ACTION) == 1 ? 1 : 0; }

void systemAllowQuit() { setUiVariable(UIVAR_ALLOW_QUIT, 1); }
