#pragma once

#include "WidgetInput.h"

namespace halvane::test {

// Type for any text: each character arrives as a key event carrying it, as from a keyboard
// layout that has it (QTest's own key clicks know ASCII only).
inline void TypeAnyText(const QObject& parent, const char* edit, const QString& text) {
    Type(parent, edit, {});
    auto* field = Child<QLineEdit>(parent, edit);
    for (const QChar character : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(character), {});
}

} // namespace halvane::test
