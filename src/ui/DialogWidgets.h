#pragma once

#include <string>

class QDialog;
class QHBoxLayout;
class QLineEdit;
class QPushButton;

namespace halvane {

// The buttons that end the editing dialogs, right-aligned in `row`: "&Save" in bold as the
// default button (the caller connects it), "&Cancel", which rejects `dialog`.
QPushButton* AddSaveCancelButtons(QHBoxLayout* row, QDialog* dialog);

// Limits what the user types to `limit` characters without cutting a longer text that came
// from the file (`text` as UTF-8).
void SetLimitedText(QLineEdit* edit, const std::string& text, int limit);

} // namespace halvane
