#include "TFormPresetValue.h"

#include "DialogWidgets.h"
#include "PresetInput.h"
#include "StoredText.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace halvane {

namespace {

QLabel* NewLabel(QWidget* parent, const char* name, const std::string& text) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setObjectName(name);
    return label;
}

} // namespace

TFormPresetValue::TFormPresetValue(const TDataChannel& tag, int number, QWidget* parent)
    : QDialog(parent), m_tag(tag) {
    setObjectName("FormPresetValue");
    setWindowTitle(tr("Preset value for tag %1").arg(number));
    const PresetPrompt prompt = DescribePreset(tag);
    m_editValue = new QLineEdit(this);
    m_editValue->setObjectName("EditValue");
    QFont bold = m_editValue->font();
    bold.setBold(true);
    m_editValue->setFont(bold);
    m_labelMessage = NewLabel(this, "LabelMessage", {});
    m_labelMessage->setStyleSheet("color: #b00000");
    m_labelMessage->setWordWrap(true);
    m_labelMessage->hide();
    auto* ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName("ButtonOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName("ButtonCancel");
    connect(ok, &QPushButton::clicked, this, &TFormPresetValue::ButtonOKClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Current value:"), NewLabel(this, "LabelCurrent", prompt.current));
    layout->addRow(tr("Range:"), NewLabel(this, "LabelRange", prompt.range));
    layout->addRow(tr("Value (%1):").arg(QString::fromStdString(StoredTextToUtf8(tag.Unit))),
                   m_editValue);
    layout->addRow(m_labelMessage);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addRow(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormPresetValue::ButtonOKClick() {
    if (const std::optional<double> value =
            ReadPresetField(*this, m_tag, *m_editValue, *m_labelMessage)) {
        m_value = *value;
        accept();
    }
}

} // namespace halvane
