// The accounts file: the rules for names and passwords, the last enabled admin, accounts
// that cannot be used beside those that can, the file's mode and its sections.
#include "Accounts.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace halvane;

namespace {

class AccountsTest : public ::testing::Test {
protected:
    std::filesystem::path File() const { return m_dir / "cfg/users.cfg"; }
    std::string Text() const { return ReadText(File()); }

    TempDir m_dir;
    AccountStore m_store{m_dir / "cfg/users.cfg"};
};

std::vector<std::string> Names(const AccountList& list) {
    std::vector<std::string> names;
    for (const Account& account : list.accounts)
        names.push_back(account.name + ":" + std::string(RoleName(account.role)) +
                        (account.disabled ? ":disabled" : ""));
    return names;
}

} // namespace

TEST(AccountRules, NamesAndPasswords) {
    struct Case {
        std::string text;
        bool nameGood;
        bool passwordGood;
    };
    for (const Case& c :
         {Case{"anna", true, false}, Case{"", false, false}, Case{std::string(64, 'x'), true, true},
          Case{std::string(65, 'x'), false, true},
          Case{"Jürgen Åström", true, true}, // 13 characters, more bytes
          Case{"tab\there", false, true}, Case{"12345678", true, true},
          Case{"ääääääää", true, true}, // 8 characters in 16 bytes
          Case{std::string(1024, 'p'), false, true}, Case{std::string(1025, 'p'), false, false},
          Case{"\xff\xfe bad utf8", false, false}}) {
        SCOPED_TRACE(c.text.substr(0, 20));
        EXPECT_EQ(!NameProblem(c.text), c.nameGood);
        EXPECT_EQ(!PasswordProblem(c.text), c.passwordGood);
    }
    EXPECT_EQ(ParseRole("Engineer"), Role::Engineer);
    EXPECT_EQ(ParseRole("root"), std::nullopt);
}

// Without a file nobody logs in, and a change refused makes no file (an empty one would
// turn login on with nobody to log in).
TEST_F(AccountsTest, WithoutAFileNobodyLogsIn) {
    EXPECT_FALSE(m_store.Load().exists);
    EXPECT_FALSE(m_store.Verify("anna", "password1"));
    EXPECT_EQ(m_store.Remove("anna"), "There is no user \"anna\".");
    EXPECT_TRUE(m_store.SetRole("anna", Role::Admin));
    EXPECT_TRUE(m_store.SetPassword("anna", "password1"));
    EXPECT_FALSE(m_store.Load().exists);
}

TEST_F(AccountsTest, AddedAccountsLogInWithTheirPasswordOnly) {
    ASSERT_EQ(m_store.Add("Anna", Role::Admin, "correct horse"), std::nullopt);
    ASSERT_EQ(m_store.Add("bob", Role::Operator, "pässwörd-ß"), std::nullopt);
    EXPECT_EQ(m_store.Add("ANNA", Role::Viewer, "something else"),
              "A user \"ANNA\" exists already.");
    EXPECT_TRUE(m_store.Add("carl", Role::Viewer, "short"));

    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Text().find("correct horse"), std::string::npos);
    EXPECT_NE(Text().find("Hash=$argon2id$"), std::string::npos);

    const auto anna = m_store.Verify("anna", "correct horse"); // names in any letter case
    ASSERT_TRUE(anna);
    EXPECT_EQ(anna->role, Role::Admin);
    EXPECT_TRUE(m_store.Verify("bob", "pässwörd-ß"));
    EXPECT_FALSE(m_store.Verify("bob", "passwort-ss"));
    EXPECT_FALSE(m_store.Verify("nobody", "correct horse"));

    ASSERT_EQ(m_store.SetPassword("bob", "a new password"), std::nullopt);
    EXPECT_FALSE(m_store.Verify("bob", "pässwörd-ß"));
    EXPECT_TRUE(m_store.Verify("bob", "a new password"));
    ASSERT_EQ(m_store.SetDisabled("bob", true), std::nullopt);
    EXPECT_FALSE(m_store.Verify("bob", "a new password"));
    EXPECT_EQ(Names(m_store.Load()),
              (std::vector<std::string>{"Anna:admin", "bob:operator:disabled"}));
}

// Whatever happens, one enabled admin stays.
TEST_F(AccountsTest, TheLastEnabledAdminStays) {
    ASSERT_EQ(m_store.Add("anna", Role::Admin, "password-a"), std::nullopt);
    ASSERT_EQ(m_store.Add("bob", Role::Engineer, "password-b"), std::nullopt);
    EXPECT_TRUE(m_store.Remove("anna"));
    EXPECT_TRUE(m_store.SetDisabled("anna", true));
    EXPECT_TRUE(m_store.SetRole("anna", Role::Engineer));
    EXPECT_EQ(m_store.SetRole("anna", Role::Admin), std::nullopt); // unchanged: allowed

    ASSERT_EQ(m_store.SetRole("bob", Role::Admin), std::nullopt);
    ASSERT_EQ(m_store.SetDisabled("bob", true), std::nullopt);
    EXPECT_TRUE(m_store.Remove("anna")); // bob is disabled: anna is still the last
    ASSERT_EQ(m_store.SetDisabled("bob", false), std::nullopt);
    EXPECT_EQ(m_store.SetRole("anna", Role::Viewer), std::nullopt);
    EXPECT_TRUE(m_store.Remove("bob"));
    EXPECT_EQ(m_store.Remove("nobody"), "There is no user \"nobody\".");
}

TEST_F(AccountsTest, RemovingRenumbersTheSections) {
    for (const char* name : {"anna", "bob", "carl"})
        ASSERT_EQ(m_store.Add(name, Role::Admin, "password-x"), std::nullopt);
    ASSERT_EQ(m_store.Remove("anna"), std::nullopt);
    EXPECT_EQ(Names(m_store.Load()), (std::vector<std::string>{"bob:admin", "carl:admin"}));
    EXPECT_EQ(Text().find("[User.2]"), std::string::npos);
    EXPECT_TRUE(m_store.Verify("carl", "password-x"));
}

// Accounts that cannot be used are named; the others work.
TEST_F(AccountsTest, BrokenAccountsAreLeftOutAndNamed) {
    ASSERT_EQ(m_store.Add("good", Role::Operator, "password-g"), std::nullopt);
    const std::string good = Text();
    const std::string hash = good.substr(
        good.find("$argon2id$"), good.find('\n', good.find("Hash=")) - good.find("$argon2id$"));
    WriteText(File(), good + "[User.1]\nName=roleless\nRole=superuser\nHash=" + hash +
                          "\n[User.2]\nName=broken\nRole=admin\nHash=plain-password\n"
                          "[User.3]\nName=twin\nRole=viewer\nHash=" +
                          hash + "\n[User.4]\nName=TWIN\nRole=viewer\nHash=" + hash + "\n");
    const AccountList list = m_store.Load();
    EXPECT_EQ(Names(list), (std::vector<std::string>{"good:operator"}));
    ASSERT_EQ(list.problems.size(), 4u);
    EXPECT_NE(list.problems[0].find("\"roleless\""), std::string::npos);
    EXPECT_NE(list.problems[1].find("hash"), std::string::npos);
    EXPECT_FALSE(m_store.Verify("twin", "password-g"));
    EXPECT_TRUE(m_store.Verify("good", "password-g"));
}

TEST_F(AccountsTest, AFileThatCannotBeReadLetsNobodyIn) {
    ASSERT_EQ(m_store.Add("anna", Role::Admin, "password-a"), std::nullopt);
    std::filesystem::remove(File());
    std::filesystem::create_directory(File()); // a folder where the file should be
    const AccountList list = m_store.Load();
    EXPECT_TRUE(list.exists);
    EXPECT_FALSE(list.error.empty());
    EXPECT_FALSE(m_store.Verify("anna", "password-a"));
    EXPECT_TRUE(m_store.Add("bob", Role::Admin, "password-b"));
}
