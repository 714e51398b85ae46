#include "TFormInput.h"

#include "DialogWidgets.h"
#include "StoredText.h"
#include "WindowPlacement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

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
    connect(m_buttonOk, &QPushButton::clicked, this, &TFormInput::ButtonOKClick);
    m_labelMessage = new QLabel(this);
    m_labelMessage->setObjectName("LabelMessage");
    m_labelMessage->setStyleSheet("color: #b00000");
    m_labelMessage->setWordWrap(true);
    m_labelMessage->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(m_editValue);
    row->addWidget(m_labelUnit);
    row->addWidget(m_buttonOk);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(row);
    layout->addWidget(m_labelMessage);
}

std::optional<double> TFormInput::AskValue(QPoint position, const TDataChannel& tag) {
    m_tag = tag;
    m_labelUnit->setText(QString::fromStdString(StoredTextToUtf8(tag.Unit)));
    m_labelMessage->hide();
    m_editValue->clear();
    m_editValue->setFocus();
    move(position);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_value;
}

// An empty field writes nothing, as closing the window does.
void TFormInput::ButtonOKClick() {
    if (const std::optional<double> value =
            ReadPresetField(*this, m_tag, *m_editValue, *m_labelMessage)) {
        m_value = *value;
        accept();
    }
}

// Asked near the screen's edge, the field and "OK" still show whole.
void TFormInput::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        KeepWithinScreen(*this);
    QDialog::showEvent(event);
}

} // namespace halvane
