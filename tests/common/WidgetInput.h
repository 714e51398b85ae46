#pragma once

// The user's own input on a window: mouse clicks at the centre of a child and typing into
// a field, delivered as real events (a disabled or hidden child takes none of them).

#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace halvane::test {

// Clicks a child where the user would: a check box or radio button on its indicator (its
// label may end well before the middle of a wide box), any other in its centre.
inline void MouseClick(const QObject& parent, const char* name) {
    auto* widget = Child<QWidget>(parent, name);
    const bool indicator = qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
    const int middle = widget->height() / 2;
    QTest::mouseClick(widget, Qt::LeftButton, {}, indicator ? QPoint(middle, middle) : QPoint());
}

// Clicks the tab of the page named `page`, bringing it to the front.
inline void ClickTab(QTabWidget& tabs, const char* page) {
    const int index = tabs.indexOf(Child<QWidget>(tabs, page));
    ASSERT_GE(index, 0) << page;
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(index).center());
}

// Replaces what a field holds as the user does: a click into it, everything selected, then
// the keys of `text` (or Delete for an empty one).
inline void Type(const QObject& parent, const char* edit, const QString& text) {
    auto* field = Child<QLineEdit>(parent, edit);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        QTest::keyClicks(field, text);
}

} // namespace halvane::test
