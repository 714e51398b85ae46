#include "DialogWidgets.h"

#include "PresetInput.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
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

QPushButton* AddOkCancelButtons(QHBoxLayout* row, QDialog* dialog) {
    auto* ok = NewButton(QObject::tr("OK"), "ButtonOK", dialog);
    ok->setDefault(true);
    auto* cancel = NewButton(QObject::tr("Cancel"), "ButtonCancel", dialog, false);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return ok;
}

void SetLimitedText(QLineEdit* edit, const std::string& text, int limit) {
    const QString shown = QString::fromStdString(text);
    edit->setMaxLength(std::max(limit, static_cast<int>(shown.size())));
    edit->setText(shown);
}

std::optional<double> ReadPresetField(QDialog& dialog, const TDataChannel& tag, QLineEdit& field,
                                      QLabel& message) {
    const std::string text = field.text().toStdString();
    if (text.empty()) {
        dialog.reject();
        return std::nullopt;
    }
    const PresetEntry entry = ReadPresetText(tag, text);
    if (!entry.value) {
        message.setText(QString::fromStdString(entry.message));
        message.show();
        field.selectAll();
        field.setFocus();
    }
    return entry.value;
}

} // namespace halvane
