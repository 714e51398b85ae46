#include "TFormInput.h"

#include "WindowPlacement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace halvane {

TFormInput::TFormInput(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("FormInput");
    setWindowTitle(tr("Input"));
    m_editValue = new QLineEdit(this);
    m_editValue->setObjectName("EditValue");
    QFont bold = m_editValue->font();
    bold.setBold(true);
    m_editValue->setFont(bold);
    m_labelUnit = new QLabel(QStringLiteral("? "), this);
    m_labelUnit->setObjectName("LabelUnit");
    m_buttonOk = new QPushButton(tr("OK"), this);
    m_buttonOk->setObjectName("ButtonOK");
    m_buttonOk->setDefault(true);
    connect(m_buttonOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_editValue);
    layout->addWidget(m_labelUnit);
    layout->addWidget(m_buttonOk);
}

std::optional<QString> TFormInput::AskValue(QPoint position, const QString& unit) {
    m_labelUnit->setText(unit);
    m_editValue->clear();
    m_editValue->setFocus();
    move(position);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_editValue->text();
}

// Asked near the screen's edge, the field and "OK" still show whole.
void TFormInput::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        KeepWithinScreen(*this);
    QDialog::showEvent(event);
}

} // namespace halvane
