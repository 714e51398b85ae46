#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace halvane {

// The wizard ("Wizard") for a straight-line function: multiplier and offset as typed;
// the function editor converts them after "Create".
class TFormFunctionWizard final : public QDialog {
    Q_OBJECT
public:
    explicit TFormFunctionWizard(QWidget* parent = nullptr);

    QString MultiplierText() const;
    QString OffsetText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_editMultiplier = nullptr;
    QLineEdit* m_editOffset = nullptr;
};

} // namespace halvane
