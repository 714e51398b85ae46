#pragma once

// What the window tests of every subsystem share: modal dialogs answered in advance,
// children found by their object names and waiting with the event loop running.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace halvane::test {

// Answers the modal dialogs that the code under test opens, in the order queued. A
// dialog left open by its answer is cancelled, and a dialog nobody expected is recorded
// and cancelled, so that a test never hangs on a modal loop.
class ModalAnswers final : public QObject {
public:
    ModalAnswers() { Poll(); }
    ~ModalAnswers() override {
        EXPECT_TRUE(m_answers.empty()) << m_answers.size() << " expected dialog(s) never opened";
        EXPECT_TRUE(m_unexpected.empty()) << "unexpected dialog " << m_unexpected.front();
    }

    template <class Dialog> void Then(std::function<void(Dialog&)> answer) {
        m_answers.push_back([answer](QDialog* dialog) {
            auto* typed = qobject_cast<Dialog*>(dialog);
            if (typed == nullptr)
                return false;
            answer(*typed);
            return true;
        });
    }

private:
    // Polls from a fresh timer each time, so that it also runs inside the modal loops
    // that an answer opens.
    void Poll() {
        QTimer::singleShot(5, this, [this] { Poll(); });
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || m_answering.contains(dialog))
            return;
        m_answering.insert(dialog);
        const bool answered = !m_answers.empty() && [&] {
            auto answer = std::move(m_answers.front());
            m_answers.pop_front();
            return answer(dialog);
        }();
        if (!answered)
            m_unexpected.push_back(dialog->metaObject()->className());
        if (dialog->isVisible())
            dialog->reject();
        m_answering.erase(dialog);
    }

    std::deque<std::function<bool(QDialog*)>> m_answers;
    std::set<QDialog*> m_answering;
    std::vector<std::string> m_unexpected;
};

template <class Widget = QWidget> Widget* Child(const QObject& parent, const char* name) {
    auto* child = parent.findChild<Widget*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

inline void Click(const QObject& parent, const char* button) {
    Child<QAbstractButton>(parent, button)->click();
}

inline QString Text(const QObject& parent, const char* edit) {
    return Child<QLineEdit>(parent, edit)->text();
}

inline void SetText(const QObject& parent, const char* edit, const QString& text) {
    Child<QLineEdit>(parent, edit)->setText(text);
}

// Minimises `window` and restores it, as the user does from the task bar: the show event
// that the restore brings is the window system's own (spontaneous).
inline void MinimiseAndRestore(QWidget& window) {
    window.showMinimized();
    QApplication::processEvents();
    window.showNormal();
    QApplication::processEvents();
}

// Runs the event loop until `done` holds or `ms` have passed; whether it holds.
template <typename Condition> bool WaitUntil(Condition done, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace halvane::test
