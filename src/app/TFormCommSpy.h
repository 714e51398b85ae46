#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace halvane {

class QueuedTraceSink;

// The communication monitor: one line per frame sent or received, oldest first. Lines
// are taken only while the window is shown and "Tracing enabled" is checked; lines traced
// meanwhile are lost. The text stays while the window is hidden and grows until "Clear".
class TFormCommSpy final : public QDialog {
    Q_OBJECT
public:
    // Becomes the target of `traceLines` for its whole life.
    explicit TFormCommSpy(QueuedTraceSink& traceLines, QWidget* owner = nullptr);
    ~TFormCommSpy() override;

    QPlainTextEdit* Memo() const { return m_memo1; }
    QCheckBox* TracingEnabled() const { return m_checkBox1; }
    QPushButton* ButtonClear() const { return m_button1; }
    QPushButton* ButtonClose() const { return m_buttonClose; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void SetAccepting(bool accepting);
    void AppendLine(const QString& line);
    void CheckBox1Toggled(bool checked);
    void Button1Click();
    void ButtonCloseClick();

    QPointer<QueuedTraceSink> m_traceLines;
    QPlainTextEdit* m_memo1 = nullptr;
    QCheckBox* m_checkBox1 = nullptr;
    QPushButton* m_button1 = nullptr;
    QPushButton* m_buttonClose = nullptr;
};

} // namespace halvane
