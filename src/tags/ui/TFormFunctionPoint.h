#pragma once

#include <QDialog>

#include <cstdint>

class QLineEdit;

namespace halvane {

// One point of a scaling function ("Function point"): its raw value x and its real
// value y. Closes with OK only when both convert; x is then a whole number.
class TFormFunctionPoint final : public QDialog {
    Q_OBJECT
public:
    explicit TFormFunctionPoint(QWidget* parent = nullptr);

    // The values shown when the dialog opens.
    void SetPoint(double x, double y);
    int32_t X() const { return m_x; }
    double Y() const { return m_y; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ButtonOKClick();

    double m_shownX = 0;
    double m_shownY = 0;
    int32_t m_x = 0;
    double m_y = 0;
    QLineEdit* m_editX = nullptr;
    QLineEdit* m_editY = nullptr;
};

} // namespace halvane
