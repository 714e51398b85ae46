// The login dialog against a real users file: a refused try and then the right one, Cancel,
// and a users file that cannot be read.
#include "TFormLogin.h"

#include "AccessWindowSupport.h"
#include "TempDir.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Child;
using test::ModalAnswers;
using test::MouseClick;
using test::Type;
using test::TypeAnyText;

const QString kPassword = QString::fromUtf8("pässwörd-ß");

class TFormLoginTest : public ::testing::Test {
protected:
    void AddAnna() {
        ASSERT_EQ(m_store.Add("Anna", Role::Operator, kPassword.toStdString()), std::nullopt);
    }

    std::optional<Account> Ask(std::function<void(TFormLogin&)> answer) {
        TFormLogin form(m_store, nullptr);
        form.SetFailureReport([this](const std::string& name) { m_failures.push_back(name); });
        ModalAnswers answers;
        answers.Then<TFormLogin>(std::move(answer));
        return form.Ask();
    }

    TempDir m_dir;
    AccountStore m_store{m_dir / "cfg/users.cfg"};
    std::vector<std::string> m_failures;
};

QString Message(const TFormLogin& form) {
    return Child<QLabel>(form, "LabelMessage")->text();
}

TEST_F(TFormLoginTest, AWrongPasswordIsToldAndTheRightOneLogsIn) {
    AddAnna();
    const auto account = Ask([](TFormLogin& form) {
        Type(form, "EditName", "anna");
        TypeAnyText(form, "EditPassword", "pässwörd-s");
        MouseClick(form, "ButtonOK");
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(Message(form), "Wrong name or password.");
        auto* password = Child<QLineEdit>(form, "EditPassword");
        EXPECT_EQ(password->text(), "");
        EXPECT_EQ(form.focusWidget(), password);
        TypeAnyText(form, "EditPassword", kPassword);
        MouseClick(form, "ButtonOK");
    });
    ASSERT_TRUE(account);
    EXPECT_EQ(account->name, "Anna");
    EXPECT_EQ(account->role, Role::Operator);
    EXPECT_EQ(m_failures, std::vector<std::string>{"anna"});
}

TEST_F(TFormLoginTest, CancelLogsNobodyIn) {
    AddAnna();
    const auto account = Ask([](TFormLogin& form) {
        Type(form, "EditName", "Anna");
        TypeAnyText(form, "EditPassword", kPassword);
        MouseClick(form, "ButtonCancel");
    });
    EXPECT_EQ(account, std::nullopt);
    EXPECT_TRUE(m_failures.empty());
}

// A file that cannot be read lets nobody in and says why, before and after a try.
TEST_F(TFormLoginTest, AnUnreadableFileLetsNobodyIn) {
    std::filesystem::create_directories(m_store.File()); // a folder where the file should be
    const std::string error = m_store.Load().error;
    ASSERT_FALSE(error.empty());
    const QString expected = QString::fromStdString("Nobody can log in: " + error);
    const auto account = Ask([&](TFormLogin& form) {
        EXPECT_EQ(Message(form), expected);
        Type(form, "EditName", "anna");
        TypeAnyText(form, "EditPassword", kPassword);
        MouseClick(form, "ButtonOK");
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(Message(form), expected);
        MouseClick(form, "ButtonCancel");
    });
    EXPECT_EQ(account, std::nullopt);
    EXPECT_EQ(m_failures, std::vector<std::string>{"anna"});
}

} // namespace
} // namespace halvane
