#include "TFormShelve.h"

#include "DialogWidgets.h"
#include "MessageBox.h"

#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace halvane {

namespace {

using std::chrono::hours;
using std::chrono::minutes;

QDateTime LocalDateTime(AlarmTime at) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count());
}

} // namespace

TFormShelve::TFormShelve(QWidget* parent, AlarmTime now) : QDialog(parent), m_now(now) {
    setObjectName("FormShelve");
    setWindowTitle(tr("Shelve alarm"));
    BuildWindow();
}

void TFormShelve::BuildWindow() {
    m_radioButton15Minutes = Named(new QRadioButton(tr("15 min")), "RadioButton15Minutes");
    m_radioButton1Hour = Named(new QRadioButton(tr("1 h")), "RadioButton1Hour");
    m_radioButton8Hours = Named(new QRadioButton(tr("8 h")), "RadioButton8Hours");
    m_radioButtonUntil = Named(new QRadioButton(tr("Until")), "RadioButtonUntil");
    m_radioButton1Hour->setChecked(true);
    m_dateTimeEditUntil = Named(new QDateTimeEdit, "DateTimeEditUntil");
    m_dateTimeEditUntil->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    m_dateTimeEditUntil->setCalendarPopup(true);
    m_dateTimeEditUntil->setDateTime(LocalDateTime(m_now + hours(1)));
    m_dateTimeEditUntil->setMaximumDateTime(LocalDateTime(kLatestShelveEnd));
    m_dateTimeEditUntil->setEnabled(false);
    connect(m_radioButtonUntil, &QRadioButton::toggled, this, &TFormShelve::RadioButtonUntilToggle);

    auto* untilRow = new QHBoxLayout;
    untilRow->addWidget(m_radioButtonUntil);
    untilRow->addWidget(m_dateTimeEditUntil, 1);

    m_editReason = Named(new QLineEdit, "EditReason");
    m_editReason->setMaxLength(kMaxReasonLength);
    auto* reasonLabel = Named(new QLabel(tr("Reason:")), "LabelReason");
    reasonLabel->setBuddy(m_editReason);
    auto* reasonRow = new QHBoxLayout;
    reasonRow->addWidget(reasonLabel);
    reasonRow->addWidget(m_editReason, 1);

    auto* buttons = new QHBoxLayout;
    connect(AddOkCancelButtons(buttons, this), &QPushButton::clicked, this,
            &TFormShelve::ButtonOKClick);

    auto* layout = new QVBoxLayout(this);
    for (QRadioButton* choice : {m_radioButton15Minutes, m_radioButton1Hour, m_radioButton8Hours})
        layout->addWidget(choice);
    layout->addLayout(untilRow);
    layout->addLayout(reasonRow);
    layout->addLayout(buttons);
    resize(380, sizeHint().height());
}

AlarmTime TFormShelve::Until() const {
    if (m_radioButton15Minutes->isChecked())
        return m_now + minutes(15);
    if (m_radioButton1Hour->isChecked())
        return m_now + hours(1);
    if (m_radioButton8Hours->isChecked())
        return m_now + hours(8);
    return AlarmTime(
        std::chrono::milliseconds(m_dateTimeEditUntil->dateTime().toMSecsSinceEpoch()));
}

std::string TFormShelve::Reason() const {
    return m_editReason->text().trimmed().toStdString();
}

void TFormShelve::RadioButtonUntilToggle(bool checked) {
    m_dateTimeEditUntil->setEnabled(checked);
}

void TFormShelve::ButtonOKClick() {
    if (Reason().empty()) {
        MessageBox::Error(this, windowTitle(), tr("Enter the reason for shelving the alarm."));
        m_editReason->setFocus();
        return;
    }
    if (Until() <= m_now) {
        MessageBox::Error(this, windowTitle(), tr("The time to shelve until has passed."));
        m_dateTimeEditUntil->setFocus();
        return;
    }
    accept();
}

} // namespace halvane
