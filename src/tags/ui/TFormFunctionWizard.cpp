#include "TFormFunctionWizard.h"

#include "NumberFormat.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace halvane {

TFormFunctionWizard::TFormFunctionWizard(QWidget* parent) : QDialog(parent) {
    setObjectName("FormFunctionWizard");
    setWindowTitle(tr("Wizard"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        tr("For simple calculations use this wizard to create the function instead of "
           "specifying every point of it. This wizard will generate function's points to create "
           "a linear function as specified below:"),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);

    auto* grid = new QGridLayout;
    m_editMultiplier = new QLineEdit(this);
    m_editMultiplier->setObjectName("EditMultiplier");
    m_editOffset = new QLineEdit(this);
    m_editOffset->setObjectName("EditOffset");
    grid->addWidget(new QLabel(tr("Multiplier:"), this), 0, 0);
    grid->addWidget(m_editMultiplier, 0, 1);
    grid->addWidget(new QLabel(tr("multiply the raw value by this value"), this), 0, 2);
    grid->addWidget(new QLabel(tr("Offset:"), this), 1, 0);
    grid->addWidget(m_editOffset, 1, 1);
    grid->addWidget(new QLabel(tr("add this value to the result"), this), 1, 2);
    layout->addLayout(grid);

    auto* formula =
        new QLabel(tr("Formula:      Actual_Value = Multiplier * Raw_Value + Offset"), this);
    QFont bold = formula->font();
    bold.setBold(true);
    formula->setFont(bold);
    layout->addWidget(formula);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* create = new QPushButton(tr("&Create"), this);
    create->setObjectName("ButtonCreate");
    create->setFont(bold);
    create->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName("ButtonCancel");
    buttons->addWidget(create);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(create, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TFormFunctionWizard::MultiplierText() const {
    return m_editMultiplier->text();
}

QString TFormFunctionWizard::OffsetText() const {
    return m_editOffset->text();
}

void TFormFunctionWizard::showEvent(QShowEvent* event) {
    m_editOffset->setText(QString::fromStdString(FormatGeneral(0)));
    m_editMultiplier->setText(QString::fromStdString(FormatGeneral(1)));
    QDialog::showEvent(event);
}

} // namespace halvane
