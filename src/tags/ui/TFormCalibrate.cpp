#include "TFormCalibrate.h"

#include "MessageBox.h"
#include "NumberFormat.h"
#include "ScalingFunction.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace halvane {

TFormCalibrate::TFormCalibrate(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setObjectName("FormCalibrate");
    setWindowTitle(tr("Calibrate"));
    auto* grid = new QGridLayout(this);
    m_edit2 = new QLineEdit(this);
    m_edit2->setObjectName("Edit2");
    m_edit2->installEventFilter(this);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName("ButtonOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName("ButtonCancel");
    m_buttonOK = ok;
    m_buttonCancel = cancel;
    grid->addWidget(new QLabel(tr("Current value:"), this), 0, 0);
    grid->addWidget(m_edit2, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Enter current measurement"), this), 1, 1, 1, 2);
    grid->addWidget(ok, 2, 1);
    grid->addWidget(cancel, 2, 2);
    connect(ok, &QPushButton::clicked, this, &TFormCalibrate::ButtonOKClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormCalibrate::showEvent(QShowEvent* event) {
    m_measured.reset();
    m_edit2->setText(QString::fromStdString(CalibrationText(m_realValue)));
    QDialog::showEvent(event);
}

// Leaving the entry checks it, except when a click on the dialog's own buttons takes the
// focus (OK checks it anyway, Cancel drops it) or another window does (a message box).
bool TFormCalibrate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit2 && event->type() == QEvent::FocusOut && !m_edit2->text().isEmpty()) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const QWidget* next = QApplication::focusWidget();
        const bool toButton =
            reason == Qt::MouseFocusReason && (next == m_buttonOK || next == m_buttonCancel);
        const bool toOtherWindow =
            reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (!toButton && !toOtherWindow)
            CheckEntry();
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<double> TFormCalibrate::CheckEntry() {
    const QString text = m_edit2->text();
    if (text.isEmpty()) {
        MessageBox::Warning(this, tr("No value"), tr("No value entered. Please enter a value."));
        return std::nullopt;
    }
    const auto value = ParseFloat(text.toStdString());
    if (!value)
        MessageBox::Warning(this, tr("Invalid value"),
                            tr("Invalid value. Please enter a valid value."));
    return value;
}

void TFormCalibrate::ButtonOKClick() {
    m_measured = CheckEntry();
    accept();
}

} // namespace halvane
