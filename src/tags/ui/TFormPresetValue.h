#pragma once

#include "TDataChannel.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace halvane {

// "Set value" of an output tag: shows the value the tag holds and the range its register
// takes, and asks for the new value. A text that cannot be preset keeps the dialog open
// with the reason beneath the field, so the operator corrects it in place; an empty text
// closes it as cancelled.
class TFormPresetValue final : public QDialog {
    Q_OBJECT
public:
    // `tag` at the moment the operator asked; `number` is its tag number.
    TFormPresetValue(const TDataChannel& tag, int number, QWidget* parent = nullptr);

    // The accepted value.
    double Value() const { return m_value; }

private:
    void ButtonOKClick();

    TDataChannel m_tag;
    double m_value = 0;
    QLineEdit* m_editValue = nullptr;
    QLabel* m_labelMessage = nullptr;
};

} // namespace halvane
