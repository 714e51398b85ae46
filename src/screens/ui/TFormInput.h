#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace halvane {

// The small value dialog of numeric inputs: a bold field with the unit to its right and
// "OK". There is no Cancel: closing the window cancels.
class TFormInput final : public QDialog {
    Q_OBJECT
public:
    explicit TFormInput(QWidget* parent = nullptr);

    // Modal, with the window's top-left corner at `position` on the desktop and `unit`
    // beside an empty field: the typed text after "OK", nothing when closed otherwise.
    std::optional<QString> AskValue(QPoint position, const QString& unit);

    QLineEdit* EditValue() const { return m_editValue; }
    QLabel* LabelUnit() const { return m_labelUnit; }
    QPushButton* ButtonOk() const { return m_buttonOk; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_editValue = nullptr;
    QLabel* m_labelUnit = nullptr;
    QPushButton* m_buttonOk = nullptr;
};

} // namespace halvane
