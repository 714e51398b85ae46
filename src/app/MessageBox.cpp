#include "MessageBox.h"

#include <QGuiApplication>

#include <cstdio>
#include <optional>

namespace halvane {

namespace {

std::optional<MessageBox::Button> g_nextAnswer;
QString g_lastCaption;
QString g_lastText;

MessageBox::Button FirstButton(MessageBox::Buttons buttons) {
    for (auto b : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
        if (buttons.testFlag(b))
            return b;
    return QMessageBox::NoButton;
}

} // namespace

MessageBox::Button MessageBox::Show(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, Buttons buttons, Button defaultButton) {
    g_lastCaption = caption;
    g_lastText = text;
    if (icon == QMessageBox::Critical || icon == QMessageBox::Warning) {
        const QByteArray line = (caption + ": " + text).toLocal8Bit();
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
    }
    if (g_nextAnswer)
        return *std::exchange(g_nextAnswer, std::nullopt);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return defaultButton != QMessageBox::NoButton ? defaultButton : FirstButton(buttons);
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<Button>(box.exec());
}

MessageBox::Button MessageBox::Error(QWidget* parent, const QString& caption, const QString& text) {
    return Show(parent, QMessageBox::Critical, caption, text);
}

MessageBox::Button MessageBox::Warning(QWidget* parent, const QString& caption,
                                       const QString& text) {
    return Show(parent, QMessageBox::Warning, caption, text);
}

MessageBox::Button MessageBox::Question(QWidget* parent, const QString& caption,
                                        const QString& text, Buttons buttons) {
    return Show(parent, QMessageBox::Question, caption, text, buttons);
}

void MessageBox::SetNextAnswer(Button answer) {
    g_nextAnswer = answer;
}

QString MessageBox::LastCaption() {
    return g_lastCaption;
}

QString MessageBox::LastText() {
    return g_lastText;
}

} // namespace halvane
