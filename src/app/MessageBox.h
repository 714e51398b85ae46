#pragma once

#include <QMessageBox>
#include <QString>

namespace halvane {

// Every message box of the program goes through here: tests answer boxes in advance,
// error boxes are also written to stderr as one line, and where no one can answer
// (the offscreen platform without a prepared answer) the box is not shown at all and
// its default button is the answer.
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

    // The next box closes at once with this answer (tests).
    static void SetNextAnswer(Button answer);
    // Caption and text of the last box shown (tests).
    static QString LastCaption();
    static QString LastText();
};

} // namespace halvane
