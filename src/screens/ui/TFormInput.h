#pragma once

#include "TDataChannel.h"

#include <QDialog>
#include <QPoint>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace halvane {

// The small value dialog of numeric inputs: a bold field with the unit to its right and
// "OK". A text that cannot be preset keeps the dialog open with the reason beneath the
// field, in the words of the tag list's "Set value". There is no Cancel: closing the
// window cancels.
class TFormInput final : public QDialog {
    Q_OBJECT
public:
    explicit TFormInput(QWidget* parent = nullptr);

    // Modal, with the window's top-left corner at `position` on the desktop and the unit of
    // `tag` beside an empty field: the value accepted with "OK"; nothing when the window was
    // closed or "OK" pressed on an empty field.
    std::optional<double> AskValue(QPoint position, const TDataChannel& tag);

    QLineEdit* EditValue() const { return m_editValue; }
    QLabel* LabelUnit() const { return m_labelUnit; }
    QPushButton* ButtonOk() const { return m_buttonOk; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ButtonOKClick();

    TDataChannel m_tag;
    double m_value = 0;
    QLineEdit* m_editValue = nullptr;
    QLabel* m_labelUnit = nullptr;
    QLabel* m_labelMessage = nullptr;
    QPushButton* m_buttonOk = nullptr;
};

} // namespace halvane
