#include "DialogWidgets.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace halvane {

QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent,
                       bool autoDefault) {
    auto* button = Named(new QPushButton(caption, parent), name);
    if (!autoDefault)
        button->setAutoDefault(false);
    return button;
}

QPushButton* AddSaveCancelButtons(QHBoxLayout* row, QDialog* dialog) {
    auto* save = new QPushButton(QObject::tr("&Save"), dialog);
    save->setObjectName("ButtonSave");
    QFont bold = save->font();
    bold.setBold(true);
    save->setFont(bold);
    save->setDefault(true);
    auto* cancel = new QPushButton(QObject::tr("&Cancel"), dialog);
    cancel->setObjectName("ButtonCancel");
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    row->addStretch(1);
    row->addWidget(save);
    row->addWidget(cancel);
    return save;
}

void SetLimitedText(QLineEdit* edit, const std::string& text, int limit) {
    const QString shown = QString::fromStdString(text);
    edit->setMaxLength(std::max(limit, static_cast<int>(shown.size())));
    edit->setText(shown);
}

} // namespace halvane
