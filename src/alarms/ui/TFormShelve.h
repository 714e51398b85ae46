#pragma once

#include "AlarmModel.h"

#include <QDialog>

#include <string>

class QDateTimeEdit;
class QLineEdit;
class QRadioButton;

namespace halvane {

// Asks how long to shelve the chosen alarms: 15 minutes, an hour, eight hours or until a
// time to come, and why (required).
class TFormShelve final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxReasonLength = kMaxShelveReasonLength;

    TFormShelve(QWidget* parent, AlarmTime now);

    // After OK: the end of the shelving and its reason (UTF-8).
    AlarmTime Until() const;
    std::string Reason() const;

private:
    void BuildWindow();
    void RadioButtonUntilToggle(bool checked);
    void ButtonOKClick();

    const AlarmTime m_now;
    QRadioButton* m_radioButton15Minutes = nullptr;
    QRadioButton* m_radioButton1Hour = nullptr;
    QRadioButton* m_radioButton8Hours = nullptr;
    QRadioButton* m_radioButtonUntil = nullptr;
    QDateTimeEdit* m_dateTimeEditUntil = nullptr;
    QLineEdit* m_editReason = nullptr;
};

} // namespace halvane
