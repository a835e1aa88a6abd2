#include "ui/switcher.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "ui/ui_input.h"

#include <cstdio>

void ClWidget_Switcher::childAdded(ClWidget* child) {
    if (child != m_shown) child->setVisibleQuietly(false);
}

void ClWidget_Switcher::switchTo(ClWidget* child) {
    if (child->parent() != this)
        fatalErrorf("switcher \"%s\" cannot show \"%s\": it is not its child", name(), child->name());
    if (child == m_shown) return;
    ClWidget* previous = m_shown;
    m_shown = child;
    m_switchTime = gameClock(GAME_CLOCK_SYSTEM).totalTime;
    if (previous) previous->setVisible(false);
    child->setVisible(true);
    fireEvent("onSwitch");
    if (const char* focus = child->getText("defaultFocus")) setUiFocus(findWidgetByName(focus));
}

f32 ClWidget_Switcher::transitionLeft() const {
    const f64 left = f64(SWITCHER_TRANSITION_TIME) - (gameClock(GAME_CLOCK_SYSTEM).totalTime - m_switchTime);
    return left > 0.0 ? f32(left) : 0.0f;
}

f32 ClWidget_Switcher::childAlpha(const ClWidget* child) const {
    return child == m_shown ? 1.0f - transitionLeft() / SWITCHER_TRANSITION_TIME : 1.0f;
}

bool ClWidget_Switcher::isSettled() const { return transitionLeft() <= 0.0f && ClWidget::isSettled(); }

ClWidget_Switcher* createSwitcher(const char* name, ClWidget* parent) {
    return createWidgetOf<ClWidget_Switcher>(name, parent);
}

ClWidget_Switcher* findSwitcherByName(const char* name) {
    return dynamic_cast<ClWidget_Switcher*>(findWidgetByName(name));
}

void switchWidgetByName(const char* switcherName, const char* childName) {
    ClWidget* found = findWidgetByName(switcherName);
    ClWidget_Switcher* switcher = dynamic_cast<ClWidget_Switcher*>(found);
    if (found && !switcher) fatalErrorf("switchWidgetByName: \"%s\" is not a switcher", switcherName);
    if (!switcher) {
        std::fprintf(stderr, "ui: switcher \"%s\" did not exist; made empty\n", switcherName);
        switcher = createSwitcher(switcherName, nullptr);
    }
    ClWidget* child = findWidgetByName(childName);
    if (!child) {
        std::fprintf(stderr, "ui: \"%s\" did not exist below \"%s\"; made empty\n", childName, switcherName);
        child = createWidget(childName, switcher);
    }
    switcher->switchTo(child);
}

s32 isWidgetSettledByName(const char* name) {
    const ClWidget* widget = findWidgetByName(name);
    return !widget || widget->isSettled() ? 1 : 0;
}

const char* shownChildName(const char* switcherName) {
    const ClWidget_Switcher* switcher = findSwitcherByName(switcherName);
    return switcher && switcher->shownChild() ? switcher->shownChild()->name() : "";
}
