#pragma once

#include <QMessageBox>
#include <QString>

namespace halvane {

// Every message box and input box of the program goes through here: tests answer boxes
// in advance, error boxes are also written to stderr as one line, and where no one can
// answer (the offscreen platform without a prepared answer) the box is not shown at all:
// its default button is the answer, and an input box counts as cancelled.
class MessageBox final {
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;

    static Button Show(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                       const QString& text, Buttons buttons = QMessageBox::Ok,
                       Button defaultButton = QMessageBox::NoButton);
    static Button Error(QWidget* parent, const QString& caption, const QString& text);
    static Button Warning(QWidget* parent, const QString& caption, const QString& text);
    static Button Question(QWidget* parent, const QString& caption, const QString& text,
                           Buttons buttons = QMessageBox::Yes | QMessageBox::No);

    // A one-line input box. The entered text; `initial` when cancelled.
    static QString InputBox(QWidget* parent, const QString& caption, const QString& prompt,
                            const QString& initial = {});

    // The next box closes at once with this answer (tests).
    static void SetNextAnswer(Button answer);
    // The next input box closes at once, entered with this text (tests).
    static void SetNextInput(const QString& text);
    // Caption and text (an input box's prompt) of the last box shown (tests).
    static QString LastCaption();
    static QString LastText();
};

} // namespace halvane
