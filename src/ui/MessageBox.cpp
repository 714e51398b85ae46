#include "MessageBox.h"

#include <QGuiApplication>
#include <QInputDialog>

#include <cstdio>
#include <optional>
#include <utility>

namespace halvane {

namespace {

std::optional<MessageBox::Button> g_nextAnswer;
std::optional<QString> g_nextInput;
QString g_lastCaption;
QString g_lastText;

MessageBox::Button FirstButton(MessageBox::Buttons buttons) {
    for (auto b : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
        if (buttons.testFlag(b))
            return b;
    return QMessageBox::NoButton;
}

// Platforms without a screen that anybody looks at: a box there would wait for ever, so it
// takes its default answer (the text of errors and warnings is on stderr already).
bool NobodyCanAnswer() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
           platform == QLatin1String("minimalegl");
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
    if (NobodyCanAnswer())
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

QString MessageBox::InputBox(QWidget* parent, const QString& caption, const QString& prompt,
                             const QString& initial) {
    g_lastCaption = caption;
    g_lastText = prompt;
    if (g_nextInput)
        return *std::exchange(g_nextInput, std::nullopt);
    if (NobodyCanAnswer())
        return initial;
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &ok);
    return ok ? text : initial;
}

void MessageBox::SetNextAnswer(Button answer) {
    g_nextAnswer = answer;
}

void MessageBox::SetNextInput(const QString& text) {
    g_nextInput = text;
}

QString MessageBox::LastCaption() {
    return g_lastCaption;
}

QString MessageBox::LastText() {
    return g_lastText;
}

} // namespace halvane
