#pragma once

#include <QDialog>

#include <optional>

class QLineEdit;

namespace halvane {

// The offset calibration ("Calibrate"): the user enters the value actually measured
// for what the tag shows. Closes with OK also when the entry was refused (the message
// says why); Measured() then holds nothing.
class TFormCalibrate final : public QDialog {
    Q_OBJECT
public:
    explicit TFormCalibrate(QWidget* parent = nullptr);

    // The tag's value as shown when the dialog opens.
    void SetRealValue(double value) { m_realValue = value; }
    std::optional<double> Measured() const { return m_measured; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ButtonOKClick();
    // The entry as a number; nothing (after the message) when it is empty or not a number.
    std::optional<double> CheckEntry();

    double m_realValue = 0;
    std::optional<double> m_measured;
    QLineEdit* m_edit2 = nullptr;
    QWidget* m_buttonOK = nullptr;
    QWidget* m_buttonCancel = nullptr;
};

} // namespace halvane
