// The accounts administered from the command line: the real program with its standard input
// fed through a pipe, beside a station or not, and the prompts of a terminal.
#include "AccountCommands.h"
#include "EventJournal.h"
#include "StationProcess.h"
#include "TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <limits>
#include <sstream>

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace halvane;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string error;
};

// `halvane --data-root root arguments...` with `input` on its standard input.
Outcome RunProgram(const TempDir& root, const QStringList& arguments, const std::string& input) {
    QProcess program;
    program.start(HALVANE_BINARY,
                  QStringList{"--data-root", QString::fromStdString(root.Path().string())} +
                      arguments);
    program.waitForStarted();
    program.write(input.data(), static_cast<qint64>(input.size()));
    program.closeWriteChannel();
    if (!program.waitForFinished(30000))
        program.kill();
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            program.readAllStandardOutput().toStdString(),
            program.readAllStandardError().toStdString()};
}

unsigned Permissions(const std::filesystem::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 0777U : 0U;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The real program on a terminal of its own, answered as a person would type.
class TerminalProgram final {
public:
    TerminalProgram(const TempDir& root, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {HALVANE_BINARY, "--data-root", root.Path().string()});
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        m_pid = ::forkpty(&m_terminal, nullptr, nullptr, nullptr);
        if (m_pid == 0) {
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~TerminalProgram() {
        if (m_pid > 0 && m_status < 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_terminal >= 0)
            ::close(m_terminal);
    }
    TerminalProgram(const TerminalProgram&) = delete;
    TerminalProgram& operator=(const TerminalProgram&) = delete;

    // Waits until the terminal has shown `prompt`.
    bool WaitFor(const std::string& prompt) {
        return ReadUntil([&] { return Has(m_shown, prompt); });
    }
    // Waits until the terminal has shown `prompt`, then types `line` and Enter.
    bool Answer(const std::string& prompt, const std::string& line) {
        if (!WaitFor(prompt))
            return false;
        const std::string typed = line + "\n";
        return ::write(m_terminal, typed.data(), typed.size()) ==
               static_cast<ssize_t>(typed.size());
    }
    // Everything the terminal showed, once the program has ended; its exit status.
    int Finish() {
        ReadUntil([] { return false; });
        int status = 0;
        if (::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status))
            m_status = WEXITSTATUS(status);
        return m_status;
    }
    const std::string& Shown() const { return m_shown; }
    // Whether what is typed shows; read from our end, the program's terminal is shared.
    bool Echoing() const {
        termios settings{};
        return ::tcgetattr(m_terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
    // Types Ctrl+C.
    void Interrupt() { ::write(m_terminal, "\x03", 1); }
    // Whether the program was ended by `signal`, waiting for it.
    bool EndedBy(int signal) {
        int status = 0;
        const bool ended = ::waitpid(m_pid, &status, 0) == m_pid;
        m_status = 128 + signal;
        return ended && WIFSIGNALED(status) && WTERMSIG(status) == signal;
    }

private:
    // Reads until `done` or the end of the program (or 20 s); whether `done` came.
    template <typename Condition> bool ReadUntil(Condition done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < end) {
            pollfd ready{m_terminal, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(m_terminal, buffer, sizeof buffer);
            if (n <= 0)
                return done(); // the program ended and closed its terminal
            m_shown.append(buffer, static_cast<size_t>(n));
        }
        return done();
    }

    pid_t m_pid = -1;
    int m_terminal = -1;
    int m_status = -1;
    std::string m_shown;
};

} // namespace

TEST(AccountCommands, GoodAndBadCallsOfTheProgram) {
    TempDir root;
    WriteText(root / "cfg/config.cfg", "");
    const std::filesystem::path users = root / "cfg/users.cfg";
    struct Case {
        QStringList arguments;
        std::string input;
        int status;
        std::string out;   // the whole standard output
        std::string error; // a part of the standard error
    };
    // In this order, on one data root.
    const Case cases[] = {
        // Without a users file, nothing may leave one behind: an empty one turns login on.
        {{"--user-list"}, "", 0, "", "no users file"},
        {{"--user-del", "bob"}, "", 2, "", "There is no user \"bob\"."},
        {{"--user-disable", "bob"}, "", 2, "", "There is no user \"bob\"."},
        {{"--user-add", "alice", "--role", "wizard"}, "long enough\n", 2, "", "no role \"wizard\""},
        {{"--user-add", "", "--role", "admin"}, "long enough\n", 2, "", "1 to 64 characters"},
        {{"--user-add", "alice", "--role", "admin"}, "", 2, "", "No password"},
        {{"--user-add", "alice", "--role", "admin"}, "short\n", 2, "", "at least 8 characters"},
        {{"--user-add", "alice"}, "long enough\n", 2, "", "--user-add needs --role ROLE"},
        {{"--user-add", "alice", "--role", "admin", "-runtime"},
         "long enough\n",
         2,
         "",
         "-runtime"},
        // The first account; its password line ends with CR LF.
        {{"--user-add", "alice", "--role", "admin"},
         "correct horse\r\n",
         0,
         "Added alice with the role admin\n",
         ""},
        {{"--user-add", "ALICE", "--role", "viewer"}, "long enough\n", 2, "", "exists already"},
        {{"--user-add", "bob", "--role", "Operator"},
         "first secret\n",
         0,
         "Added bob with the role operator\n",
         ""},
        {{"--user-passwd", "nobody"}, "long enough\n", 2, "", "There is no user \"nobody\"."},
        {{"--user-passwd", "BOB"}, "bob's new secret\n", 0, "Changed the password of BOB\n", ""},
        {{"--user-role", "bob"}, "", 2, "", "--user-role needs a user name and a role"},
        {{"--user-role", "bob", "root"}, "", 2, "", "no role \"root\""},
        {{"--user-role", "bob", "engineer"}, "", 0, "bob now has the role engineer\n", ""},
        {{"--user-role", "alice", "viewer"}, "", 2, "", "last enabled admin"},
        {{"--user-disable", "alice"}, "", 2, "", "last enabled admin"},
        {{"--user-del", "alice"}, "", 2, "", "last enabled admin"},
        {{"--user-disable", "bob"}, "", 0, "Disabled bob\n", ""},
        {{"--user-add", "carol", "--role", "viewer"},
         "carol's secret\n",
         0,
         "Added carol with the role viewer\n",
         ""},
        {{"--user-list"}, "", 0, "alice\tadmin\nbob\tengineer\tdisabled\ncarol\tviewer\n", ""},
        {{"--user-enable", "bob"}, "", 0, "Enabled bob\n", ""},
        {{"--user-del", "carol"}, "", 0, "Deleted carol\n", ""},
        {{"--user-list"}, "", 0, "alice\tadmin\nbob\tengineer\n", ""},
    };
    bool added = false;
    for (const Case& c : cases) {
        const std::string call = c.arguments.join(' ').toStdString();
        const Outcome outcome = RunProgram(root, c.arguments, c.input);
        EXPECT_EQ(outcome.status, c.status) << call << "\n" << outcome.error;
        EXPECT_EQ(outcome.out, c.out) << call;
        EXPECT_TRUE(Has(outcome.error, c.error)) << call << "\n" << outcome.error;
        EXPECT_TRUE(c.status == 0 || outcome.error.starts_with("halvane: ")) << call << "\n"
                                                                             << outcome.error;
        added = added || (c.status == 0 && c.arguments.front() == "--user-add");
        EXPECT_EQ(std::filesystem::exists(users), added) << "after " << call;
    }

    EXPECT_EQ(Permissions(users), 0600U);
    const std::string file = ReadText(users);
    for (const char* password : {"correct horse", "bob's new secret", "first secret"})
        EXPECT_FALSE(Has(file, password)) << file;
    const AccountStore store(users);
    EXPECT_TRUE(store.Verify("alice", "correct horse"));
    EXPECT_TRUE(store.Verify("bob", "bob's new secret"));
    EXPECT_FALSE(store.Verify("bob", "first secret"));
}

TEST(AccountCommands, UnreadableUsersFileIsRefused) {
    TempDir root;
    std::filesystem::create_directories(root / "cfg/users.cfg");
    for (const QStringList& arguments :
         {QStringList{"--user-list"}, QStringList{"--user-add", "alice", "--role", "admin"},
          QStringList{"--user-del", "alice"}}) {
        const Outcome outcome = RunProgram(root, arguments, "long enough\n");
        EXPECT_EQ(outcome.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(Has(outcome.error, "users file")) << outcome.error;
        EXPECT_TRUE(Has(outcome.error, "cannot be read")) << outcome.error;
        EXPECT_EQ(outcome.out, "");
    }
}

TEST(AccountCommands, WorksBesideARunningStationWithoutDisturbingIt) {
    TempDir root;
    const auto config = root / "cfg/config.cfg";
    WriteText(config, "");
    Station station(root.Path());
    // The station has claimed the data root and written its defaults once this is there.
    ASSERT_TRUE(station.WaitUntil([&] { return Has(ReadText(config), "FunctionButton.3"); }));
    const std::string configBefore = ReadText(config);

    const Outcome outcome =
        RunProgram(root, {"--user-add", "alice", "--role", "admin"}, "correct horse\n");

    EXPECT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(outcome.out, "Added alice with the role admin\n");
    EXPECT_TRUE(AccountStore(root / "cfg/users.cfg").Verify("alice", "correct horse"));
    EXPECT_TRUE(station.Running());
    EXPECT_EQ(ReadText(config), configBefore);
    station.Terminate();
    ASSERT_TRUE(station.WaitForExit());
    EXPECT_EQ(station.ExitCode(), 0);
    // The change is in the station's journal between its own lines, with who made it.
    std::string journal;
    for (const JournalEvent& event :
         ReadJournal(root / "events", 0, std::numeric_limits<LocalMsecs>::max()).events)
        journal += event.event + "|" + event.source + "|" + event.text + "|" +
                   (event.user.empty() ? "" : "someone") + "\n";
    EXPECT_EQ(journal, "started|station||\nuser-changed|command-line|Added alice with the role "
                       "admin|someone\nstopped|station||\n");
}

TEST(AccountCommands, TerminalIsAskedTwiceAndAMismatchChangesNothing) {
    TempDir root;
    AccountStore store(root / "cfg/users.cfg");
    const AccountCommand add{AccountCommand::Kind::Add, "alice", "admin"};
    struct Case {
        std::string typed;
        int status;
        bool added;
    };
    const Case cases[] = {
        {"correct horse\nCorrect horse\n", 2, false},
        {"correct horse\n", 2, false}, // the input ended before the repetition
        {"correct horse\ncorrect horse\n", 0, true},
    };
    for (const Case& c : cases) {
        std::istringstream typed(c.typed);
        std::ostringstream out;
        std::ostringstream error;
        EXPECT_EQ(RunAccountCommand(add, store, PasswordSource{typed, true}, out, error), c.status)
            << error.str();
        EXPECT_TRUE(error.str().starts_with("Password: \nRepeat password: \n")) << error.str();
        EXPECT_EQ(store.Verify("alice", "correct horse").has_value(), c.added) << c.typed;
    }
}

TEST(AccountCommands, ATerminalDoesNotShowThePasswordTyped) {
    TempDir root;
    struct Case {
        std::string repeated;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {"correct horsE", 2, "The two passwords differ"},
        {"correct horse", 0, "Added alice with the role admin"},
    };
    for (const Case& c : cases) {
        TerminalProgram program(root, {"--user-add", "alice", "--role", "admin"});
        ASSERT_TRUE(program.Answer("Password: ", "correct horse")) << program.Shown();
        ASSERT_TRUE(program.Answer("Repeat password: ", c.repeated)) << program.Shown();
        EXPECT_EQ(program.Finish(), c.status) << program.Shown();
        EXPECT_TRUE(Has(program.Shown(), c.said)) << program.Shown();
        EXPECT_FALSE(Has(program.Shown(), "horse")) << program.Shown();
    }
    EXPECT_TRUE(AccountStore(root / "cfg/users.cfg").Verify("alice", "correct horse"));
}

TEST(AccountCommands, CtrlCAtThePromptGivesTheTerminalItsEchoBack) {
    TempDir root;
    TerminalProgram program(root, {"--user-add", "alice", "--role", "admin"});
    ASSERT_TRUE(program.Answer("Password: ", "correct horse")) << program.Shown();
    ASSERT_TRUE(program.WaitFor("Repeat password: ")) << program.Shown();
    ASSERT_FALSE(program.Echoing());
    program.Interrupt();
    ASSERT_TRUE(program.EndedBy(SIGINT));
    EXPECT_TRUE(program.Echoing());
    EXPECT_FALSE(std::filesystem::exists(root / "cfg/users.cfg"));
}
