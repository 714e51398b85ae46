// What the station lets do: every right without a users file, the role of the user logged
// in, a guest's viewer role or nothing, and the texts that refuse.
#include "Session.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace halvane;

namespace {

Account Named(const std::string& name, Role role) {
    Account account;
    account.name = name;
    account.role = role;
    return account;
}

} // namespace

TEST(Session, RightsFollowTheFileTheUserAndTheGuestSetting) {
    struct Case {
        bool usersFile;
        bool guestViewer;
        std::optional<Role> user;
        std::optional<Role> effective; // nothing: locked
    };
    const std::vector<Case> cases = {
        {false, false, std::nullopt, Role::Admin}, // no accounts: as before, everything
        {false, true, Role::Viewer, Role::Admin},     {true, true, std::nullopt, Role::Viewer},
        {true, false, std::nullopt, std::nullopt},    {true, false, Role::Operator, Role::Operator},
        {true, true, Role::Engineer, Role::Engineer},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.usersFile)
            std::ofstream(dir / "users.cfg") << "";
        Session session(dir / "users.cfg", SecurityOptions{c.guestViewer, 0});
        if (c.user)
            session.LogIn(Named("ann", *c.user));
        SCOPED_TRACE(testing::Message() << c.usersFile << c.guestViewer << c.user.has_value());
        EXPECT_EQ(session.EffectiveRole(), c.effective);
        for (Role needed : {Role::Viewer, Role::Operator, Role::Engineer, Role::Admin})
            EXPECT_EQ(session.Allows(needed), c.effective && *c.effective >= needed);
    }
}

// A users file made while the station runs turns login on at once; one that cannot be
// read keeps it on, so that a damaged file never opens the station to everybody.
TEST(Session, LoginFollowsTheFileAsItIsNow) {
    TempDir dir;
    Session session(dir / "cfg/users.cfg", SecurityOptions{false, 0});
    EXPECT_FALSE(session.LoginOn());
    EXPECT_TRUE(session.Allows(Role::Admin));
    std::filesystem::create_directories(dir / "cfg/users.cfg"); // there, not a readable file
    EXPECT_TRUE(session.LoginOn());
    EXPECT_TRUE(session.Locked());
}

TEST(Session, TextsNameTheUserAndTheRoleNeeded) {
    TempDir dir;
    std::ofstream(dir / "users.cfg") << "";
    Session session(dir / "users.cfg", SecurityOptions{});
    EXPECT_EQ(session.StatusText(), "Not logged in");
    EXPECT_EQ(session.JournalUser(), "");
    EXPECT_NE(session.Refusal(Role::Operator).find("operator"), std::string::npos);
    session.LogIn(Named("Ann", Role::Viewer));
    EXPECT_EQ(session.Refusal(Role::Operator),
              "You are logged in as Ann (viewer); this needs the operator role.");
    EXPECT_EQ(session.StatusText(), "Ann (viewer)");
    EXPECT_EQ(session.JournalUser(), "Ann");
    session.LogOut();
    EXPECT_FALSE(session.User());
}
