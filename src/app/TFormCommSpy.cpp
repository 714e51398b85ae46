#include "TFormCommSpy.h"

#include "QueuedTraceSink.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace halvane {

TFormCommSpy::TFormCommSpy(QueuedTraceSink& traceLines, QWidget* owner)
    : QDialog(owner, Qt::Tool), m_traceLines(&traceLines) {
    setObjectName("FormCommSpy");
    setWindowTitle(tr("Communication monitor"));
    setSizeGripEnabled(true);

    m_memo1 = new QPlainTextEdit(this);
    m_memo1->setObjectName("Memo1");
    m_memo1->setReadOnly(true);
    m_memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    m_memo1->setFont(courier);

    m_checkBox1 = new QCheckBox(tr("Tracing enabled"), this);
    m_checkBox1->setObjectName("CheckBox1");
    m_checkBox1->setChecked(true);
    m_button1 = new QPushButton(tr("Clear"), this);
    m_button1->setObjectName("Button1");
    m_button1->setAutoDefault(false);
    m_buttonClose = new QPushButton(tr("&Close"), this);
    m_buttonClose->setObjectName("ButtonClose");
    m_buttonClose->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_checkBox1);
    buttons->addStretch();
    buttons->addWidget(m_button1);
    buttons->addWidget(m_buttonClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_memo1, 1);
    layout->addLayout(buttons);
    resize(560, 360);

    connect(m_checkBox1, &QCheckBox::toggled, this, &TFormCommSpy::CheckBox1Toggled);
    connect(m_button1, &QPushButton::clicked, this, &TFormCommSpy::Button1Click);
    connect(m_buttonClose, &QPushButton::clicked, this, &TFormCommSpy::ButtonCloseClick);
    traceLines.SetAccepting(false);
    traceLines.SetTarget([this](const QString& line) { AppendLine(line); });
}

TFormCommSpy::~TFormCommSpy() {
    SetAccepting(false);
    if (m_traceLines)
        m_traceLines->SetTarget({});
}

void TFormCommSpy::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SetAccepting(m_checkBox1->isChecked());
}

void TFormCommSpy::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    SetAccepting(false);
}

// The sink may have gone first when both belong to the main window.
void TFormCommSpy::SetAccepting(bool accepting) {
    if (m_traceLines)
        m_traceLines->SetAccepting(accepting);
}

void TFormCommSpy::AppendLine(const QString& line) {
    m_memo1->appendPlainText(line);
}

void TFormCommSpy::CheckBox1Toggled(bool checked) {
    SetAccepting(checked && isVisible());
}

void TFormCommSpy::Button1Click() {
    m_memo1->clear();
}

void TFormCommSpy::ButtonCloseClick() {
    hide();
}

} // namespace halvane
