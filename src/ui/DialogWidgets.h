#pragma once

#include <string>

#include <QString>

class QDialog;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace halvane {

// `widget` with its component name, by which handlers and tests find it.
template <class Widget> Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

// A push button with its component name. Without `autoDefault` it never becomes the
// default button when it has the focus, so Return in a field of its dialog does not press it.
QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent,
                       bool autoDefault = true);

// The buttons that end the editing dialogs, right-aligned in `row`: "&Save" in bold as the
// default button (the caller connects it), "&Cancel", which rejects `dialog`.
QPushButton* AddSaveCancelButtons(QHBoxLayout* row, QDialog* dialog);

// Limits what the user types to `limit` characters without cutting a longer text that came
// from the file (`text` as UTF-8).
void SetLimitedText(QLineEdit* edit, const std::string& text, int limit);

} // namespace halvane
