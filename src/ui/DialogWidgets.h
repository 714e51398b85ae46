#pragma once

#include <optional>
#include <string>

#include <QString>

class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace halvane {

class TDataChannel;

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

// The same for the dialogs that ask: "OK" (the default button, which the caller connects)
// and "Cancel", named ButtonOK and ButtonCancel.
QPushButton* AddOkCancelButtons(QHBoxLayout* row, QDialog* dialog);

// Limits what the user types to `limit` characters without cutting a longer text that came
// from the file (`text` as UTF-8).
void SetLimitedText(QLineEdit* edit, const std::string& text, int limit);

// The value typed into `field` as a preset of `tag`, for the OK of a dialog that asks it. An
// empty field rejects `dialog` (nothing is written, as when it is closed); a text that is no
// preset of the tag shows why in `message` and stays selected for correction.
std::optional<double> ReadPresetField(QDialog& dialog, const TDataChannel& tag, QLineEdit& field,
                                      QLabel& message);

} // namespace halvane
