// Switchers: widgets that show one child at a time ("TopLevelSwitcher" shows the current
// screen). A switch hides the shown child, shows the new one, fades it in over
// SWITCHER_TRANSITION_TIME seconds of the real-time game clock (the switcher is not settled
// meanwhile, drawn or not) and fires "onSwitch" on the switcher. Main thread only.
#pragma once

#include "ui/widget.h"

constexpr f32 SWITCHER_TRANSITION_TIME = 0.15f;

class ClWidget_Switcher : public ClWidget {
public:
    using ClWidget::ClWidget;

    ClWidget* shownChild() const { return m_shown; }
    // The child (which must be one of this switcher's) becomes the shown one; the shown child
    // again changes nothing. When the child has a text property "defaultFocus", the widget of
    // that name takes the focus.
    void switchTo(ClWidget* child);

    f32 childAlpha(const ClWidget* child) const override;
    bool isSettled() const override;

protected:
    // Children arrive hidden.
    void childAdded(ClWidget* child) override;

private:
    f32 transitionLeft() const;

    ClWidget* m_shown = nullptr;
    f64 m_switchTime = -1.0e9;  // the real-time clock's total at the last switch
};

// A new switcher below the parent (none: below no page).
ClWidget_Switcher* createSwitcher(const char* name, ClWidget* parent);
// The switcher of that name, or null when there is none or the widget is no switcher.
ClWidget_Switcher* findSwitcherByName(const char* name);

// Makes the named child the shown child of the named switcher. A missing switcher is created
// below no page, and a missing child below the switcher, each with a line on standard error, so
// that every switch has a target. A switcher name that names another kind of widget, or a child
// that sits below another widget, is fatal.
void switchWidgetByName(const char* switcherName, const char* childName);
// 1 when the named widget and everything below it has no transition under way; 1 for unknown
// names.
s32 isWidgetSettledByName(const char* name);
// The name of the switcher's shown child; empty when it shows none or does not exist.
const char* shownChildName(const char* switcherName);
