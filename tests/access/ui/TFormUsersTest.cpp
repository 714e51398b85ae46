// The users dialog against a real users file: what it adds, what the store or the form
// refuses (shown, file unchanged), the last admin, the disable toggle and the asked delete.
#include "TFormUsers.h"

#include "AccessWindowSupport.h"
#include "MessageBox.h"
#include "TempDir.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Child;
using test::MouseClick;
using test::Text;
using test::Type;
using test::TypeAnyText;

class TFormUsersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_store.Add("root", Role::Admin, "password1"), std::nullopt);
    }

    // Opens the dialog on the file as it is now.
    TFormUsers& Open() {
        m_form = std::make_unique<TFormUsers>(m_store, nullptr);
        m_form->SetChangeReport([this](const std::string& text) { m_reports.push_back(text); });
        m_form->show();
        return *m_form;
    }

    QTableWidget* Grid() { return Child<QTableWidget>(*m_form, "StringGridUsers"); }
    // The rows as "name role disabled".
    std::vector<QString> Rows() {
        std::vector<QString> rows;
        for (int row = 0; row < Grid()->rowCount(); ++row)
            rows.push_back(QStringList{Grid()->item(row, 0)->text(), Grid()->item(row, 1)->text(),
                                       Grid()->item(row, 2)->text()}
                               .join(' '));
        return rows;
    }
    void ClickRow(const QString& name) {
        const auto items = Grid()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {},
                          Grid()->visualItemRect(items.front()).center());
    }
    // Picks a role as the user does with the keyboard: the top of the list, then down.
    void ChooseRole(Role role) {
        auto* combo = Child<QComboBox>(*m_form, "ComboRole");
        QTest::keyClick(combo, Qt::Key_Home);
        for (int i = 0; i < static_cast<int>(role); ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(combo->currentText().toStdString(), RoleName(role));
    }
    void FillForm(const QString& name, Role role, const QString& password,
                  const QString& password2) {
        Type(*m_form, "EditName", name);
        ChooseRole(role);
        TypeAnyText(*m_form, "EditPassword", password);
        TypeAnyText(*m_form, "EditPassword2", password2);
    }
    std::string FileText() const { return ReadText(m_store.File()); }

    TempDir m_dir;
    AccountStore m_store{m_dir / "cfg/users.cfg"};
    std::unique_ptr<TFormUsers> m_form;
    std::vector<std::string> m_reports;
};

TEST_F(TFormUsersTest, AnAddedAccountIsInTheFileAndTheList) {
    Open();
    const QString password = QString::fromUtf8("grüne wiese");
    FillForm("bob", Role::Operator, password, password);
    MouseClick(*m_form, "ButtonAdd");

    EXPECT_EQ(Rows(), (std::vector<QString>{"root admin ", "bob operator "}));
    EXPECT_EQ(m_reports, std::vector<std::string>{"added bob (operator)"});
    const auto bob = m_store.Verify("bob", password.toStdString());
    ASSERT_TRUE(bob);
    EXPECT_EQ(bob->role, Role::Operator);
}

// Each refusal is shown as an error of the dialog and leaves the file as it was.
TEST_F(TFormUsersTest, RefusedAddsChangeNothing) {
    struct Case {
        QString name, password, password2;
        std::string message;
    };
    Open();
    const std::string before = FileText();
    for (const Case& c :
         {Case{"bob", "password1", "password2", "The passwords do not match."},
          Case{"bob", "short", "short", *PasswordProblem("short")},
          Case{"ROOT", "password2", "password2", "A user \"ROOT\" exists already."}}) {
        SCOPED_TRACE(c.message);
        FillForm(c.name, Role::Viewer, c.password, c.password2);
        MouseClick(*m_form, "ButtonAdd");
        EXPECT_EQ(MessageBox::LastCaption(), "Users");
        EXPECT_EQ(MessageBox::LastText().toStdString(), c.message);
        EXPECT_EQ(FileText(), before);
        EXPECT_EQ(Rows(), std::vector<QString>{"root admin "});
    }
    EXPECT_TRUE(m_reports.empty());
}

// What is wrong with the file stands above the list: an account that cannot be used, or
// the whole file when it cannot be read.
TEST_F(TFormUsersTest, TheFilesProblemsAreShown) {
    WriteText(m_store.File(),
              FileText() + "[User.1]\nName=broken\nRole=admin\nHash=plain-password\n");
    const std::vector<std::string> problems = m_store.Load().problems;
    ASSERT_EQ(problems.size(), 1u);
    Open();
    auto* label = Child<QLabel>(*m_form, "LabelProblems");
    EXPECT_EQ(label->text().toStdString(), problems.front());
    EXPECT_EQ(Rows(), std::vector<QString>{"root admin "});

    std::filesystem::remove(m_store.File());
    std::filesystem::create_directory(m_store.File());
    const std::string error = m_store.Load().error;
    Open();
    label = Child<QLabel>(*m_form, "LabelProblems");
    EXPECT_EQ(label->text().toStdString(), error);
    EXPECT_TRUE(Rows().empty());
}

// The last enabled admin can be neither demoted nor disabled from here.
TEST_F(TFormUsersTest, TheLastAdminStays) {
    Open();
    const std::string before = FileText();
    ClickRow("root");
    EXPECT_EQ(Text(*m_form, "EditName"), "root");
    EXPECT_EQ(Child<QComboBox>(*m_form, "ComboRole")->currentText(), "admin");
    ChooseRole(Role::Engineer);
    for (const char* button : {"ButtonRole", "ButtonDisable"}) {
        SCOPED_TRACE(button);
        MouseClick(*m_form, button);
        EXPECT_EQ(MessageBox::LastCaption(), "Users");
        EXPECT_TRUE(MessageBox::LastText().contains("last enabled admin"))
            << MessageBox::LastText().toStdString();
        EXPECT_EQ(FileText(), before);
    }
    EXPECT_TRUE(m_reports.empty());
}

// Role and password go to the selected account, whatever the name field holds by then.
TEST_F(TFormUsersTest, RoleAndPasswordOfTheSelectedAccount) {
    ASSERT_EQ(m_store.Add("carl", Role::Viewer, "password1"), std::nullopt);
    Open();
    ClickRow("carl");
    Type(*m_form, "EditName", "root");
    ChooseRole(Role::Engineer);
    MouseClick(*m_form, "ButtonRole");
    EXPECT_EQ(Rows(), (std::vector<QString>{"root admin ", "carl engineer "}));

    Type(*m_form, "EditName", "root");
    TypeAnyText(*m_form, "EditPassword", "new password");
    TypeAnyText(*m_form, "EditPassword2", "new passwort");
    MouseClick(*m_form, "ButtonPassword");
    EXPECT_EQ(MessageBox::LastText(), "The passwords do not match.");
    TypeAnyText(*m_form, "EditPassword2", "new password");
    MouseClick(*m_form, "ButtonPassword");
    EXPECT_TRUE(m_store.Verify("carl", "new password"));
    EXPECT_EQ(m_reports,
              (std::vector<std::string>{"role of carl: engineer", "password of carl reset"}));
}

TEST_F(TFormUsersTest, DisableTogglesTheSelectedAccount) {
    ASSERT_EQ(m_store.Add("carl", Role::Viewer, "password1"), std::nullopt);
    Open();
    auto* toggle = Child<QPushButton>(*m_form, "ButtonDisable");
    ClickRow("carl");
    EXPECT_EQ(toggle->text().remove('&'), "Disable");
    MouseClick(*m_form, "ButtonDisable");
    EXPECT_TRUE(m_store.Load().accounts.back().disabled);
    EXPECT_EQ(Rows().back(), "carl viewer yes");
    EXPECT_EQ(toggle->text().remove('&'), "Enable");
    ClickRow("root");
    EXPECT_EQ(toggle->text().remove('&'), "Disable");
    ClickRow("carl");
    MouseClick(*m_form, "ButtonDisable");
    EXPECT_FALSE(m_store.Load().accounts.back().disabled);
    EXPECT_EQ(m_reports, (std::vector<std::string>{"carl disabled", "carl enabled"}));
}

TEST_F(TFormUsersTest, DeleteAsksFirst) {
    ASSERT_EQ(m_store.Add("carl", Role::Viewer, "password1"), std::nullopt);
    Open();
    ClickRow("carl");
    MessageBox::SetNextAnswer(QMessageBox::No);
    MouseClick(*m_form, "ButtonDelete");
    EXPECT_EQ(MessageBox::LastText(), "Delete the account carl?");
    EXPECT_EQ(m_store.Load().accounts.size(), 2u);

    MessageBox::SetNextAnswer(QMessageBox::Yes);
    MouseClick(*m_form, "ButtonDelete");
    EXPECT_EQ(m_store.Load().accounts.size(), 1u);
    EXPECT_EQ(Rows(), std::vector<QString>{"root admin "});
    EXPECT_EQ(m_reports, std::vector<std::string>{"carl deleted"});
}

} // namespace
} // namespace halvane
