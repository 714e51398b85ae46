#include "TFormFunctionPoint.h"

#include "MessageBox.h"
#include "NumberFormat.h"
#include "ScalingFunction.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace halvane {

TFormFunctionPoint::TFormFunctionPoint(QWidget* parent) : QDialog(parent) {
    setObjectName("FormFunctionPoint");
    setWindowTitle(tr("Function point"));
    auto* layout = new QFormLayout(this);
    m_editX = new QLineEdit(this);
    m_editX->setObjectName("EditX");
    m_editY = new QLineEdit(this);
    m_editY->setObjectName("EditY");
    auto* ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName("ButtonOK");
    ok->setDefault(true);
    layout->addRow(tr("Raw value:"), m_editX);
    layout->addRow(tr("Actual value:"), m_editY);
    layout->addRow(ok);
    connect(ok, &QPushButton::clicked, this, &TFormFunctionPoint::ButtonOKClick);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormFunctionPoint::SetPoint(double x, double y) {
    m_shownX = x;
    m_shownY = y;
}

void TFormFunctionPoint::showEvent(QShowEvent* event) {
    m_editX->setText(QString::fromStdString(FormatGeneral(m_shownX)));
    m_editY->setText(QString::fromStdString(FormatGeneral(m_shownY)));
    QDialog::showEvent(event);
}

void TFormFunctionPoint::ButtonOKClick() {
    const auto rawValue = ParseFloat(m_editX->text().toStdString());
    const auto x = rawValue ? PointXFromValue(*rawValue) : std::nullopt;
    if (!x) {
        MessageBox::Warning(this, tr("Invalid number format"),
                            tr("Invalid read value format. Enter valid value."));
        reject();
        return;
    }
    const auto y = ParseFloat(m_editY->text().toStdString());
    if (!y) {
        MessageBox::Warning(this, tr("Invalid number format"),
                            tr("Invalid real value format. Enter valid value."));
        reject();
        return;
    }
    m_x = *x;
    m_y = *y;
    accept();
}

} // namespace halvane
