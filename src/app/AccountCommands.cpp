#include "AccountCommands.h"

#include "AlarmService.h"
#include "DataRoot.h"
#include "EventJournal.h"
#include "ProfileStore.h"
#include "StartUp.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <istream>
#include <ostream>

#include <csignal>
#include <pwd.h>
#include <termios.h>
#include <unistd.h>

namespace halvane {

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 2;

// The terminal as it was before its echo was turned off, for the signal handler.
termios g_echoingTerminal{};
constexpr std::array kEndingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Ctrl+C at the prompt: the terminal gets its echo back before the program ends.
extern "C" void RestoreEchoAndEnd(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_echoingTerminal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Keeps what is typed on the terminal of standard input from showing, for as long as it
// lives, also when a signal ends the program meanwhile.
class HiddenTyping final {
public:
    explicit HiddenTyping(bool terminal) {
        if (!terminal || ::tcgetattr(STDIN_FILENO, &g_echoingTerminal) != 0)
            return;
        struct sigaction restore {};
        restore.sa_handler = RestoreEchoAndEnd;
        for (size_t i = 0; i < kEndingSignals.size(); ++i)
            ::sigaction(kEndingSignals[i], &restore, &m_previous[i]);
        m_active = true;
        termios hidden = g_echoingTerminal;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    ~HiddenTyping() {
        if (!m_active)
            return;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_echoingTerminal);
        for (size_t i = 0; i < kEndingSignals.size(); ++i)
            ::sigaction(kEndingSignals[i], &m_previous[i], nullptr);
    }
    HiddenTyping(const HiddenTyping&) = delete;
    HiddenTyping& operator=(const HiddenTyping&) = delete;

private:
    std::array<struct sigaction, kEndingSignals.size()> m_previous{};
    bool m_active = false;
};

// One line of input without its line end; nothing at the end of the input.
std::optional<std::string> ReadLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::optional<std::string> Ask(PasswordSource source, std::ostream& prompts, const char* prompt) {
    if (!source.terminal)
        return ReadLine(source.in);
    prompts << prompt << std::flush;
    std::optional<std::string> answer = ReadLine(source.in);
    prompts << '\n'; // the Enter key was not echoed
    return answer;
}

// The password, or the message why there is none.
struct PasswordRead {
    std::optional<std::string> password;
    std::string problem;
};

PasswordRead ReadPassword(PasswordSource source, std::ostream& prompts) {
    HiddenTyping hidden(source.terminal);
    std::optional<std::string> first = Ask(source, prompts, "Password: ");
    if (!first)
        return {std::nullopt, "No password was given on standard input."};
    if (source.terminal && Ask(source, prompts, "Repeat password: ") != first)
        return {std::nullopt, "The two passwords differ; nothing was changed."};
    return {std::move(first), {}};
}

bool NeedsAccount(AccountCommand::Kind kind) {
    return kind != AccountCommand::Kind::Add && kind != AccountCommand::Kind::List;
}

std::string RoleText(Role role) {
    return std::string(RoleName(role));
}

class CommandRun final {
public:
    CommandRun(AccountStore& store, PasswordSource password, std::ostream& out, std::ostream& error,
               AccountChangeReport changed)
        : m_store(store), m_password(password), m_out(out), m_error(error),
          m_changed(std::move(changed)) {}

    int Run(const AccountCommand& command) {
        const AccountList list = m_store.Load();
        if (!list.error.empty())
            return Refuse("The users file " + m_store.File().string() +
                          " cannot be read: " + list.error);
        // Asking the store would leave an empty users file behind, which turns login on.
        if (!list.exists && NeedsAccount(command.kind))
            return Refuse("There is no user \"" + command.name + "\".");
        switch (command.kind) {
        case AccountCommand::Kind::Add:
            return Add(command);
        case AccountCommand::Kind::Password:
            return WithPassword([&](const std::string& password) {
                return Report(m_store.SetPassword(command.name, password),
                              "Changed the password of " + command.name);
            });
        case AccountCommand::Kind::SetRole:
            return WithRole(command.role, [&](Role role) {
                return Report(m_store.SetRole(command.name, role),
                              command.name + " now has the role " + RoleText(role));
            });
        case AccountCommand::Kind::Disable:
            return Report(m_store.SetDisabled(command.name, true), "Disabled " + command.name);
        case AccountCommand::Kind::Enable:
            return Report(m_store.SetDisabled(command.name, false), "Enabled " + command.name);
        case AccountCommand::Kind::Remove:
            return Report(m_store.Remove(command.name), "Deleted " + command.name);
        case AccountCommand::Kind::List:
            return List(list);
        }
        return kRefused;
    }

private:
    int Add(const AccountCommand& command) {
        // Refused before the password is asked for, so nobody types one for nothing.
        if (const std::optional<std::string> problem = NameProblem(command.name))
            return Refuse(*problem);
        return WithRole(command.role, [&](Role role) {
            return WithPassword([&](const std::string& password) {
                return Report(m_store.Add(command.name, role, password),
                              "Added " + command.name + " with the role " + RoleText(role));
            });
        });
    }

    template <typename Change> int WithRole(const std::string& text, Change change) {
        if (const std::optional<Role> role = ParseRole(text))
            return change(*role);
        return Refuse("There is no role \"" + text +
                      "\": use viewer, operator, engineer or admin.");
    }

    template <typename Change> int WithPassword(Change change) {
        const PasswordRead read = ReadPassword(m_password, m_error);
        return read.password ? change(*read.password) : Refuse(read.problem);
    }

    int List(const AccountList& list) {
        for (const std::string& problem : list.problems)
            m_error << "halvane: " << problem << '\n';
        for (const Account& account : list.accounts)
            m_out << account.name << '\t' << RoleName(account.role)
                  << (account.disabled ? "\tdisabled" : "") << '\n';
        if (!list.exists)
            m_error << "halvane: There is no users file yet: login is off.\n";
        return kDone;
    }

    int Report(const std::optional<std::string>& refusal, const std::string& done) {
        if (refusal)
            return Refuse(*refusal);
        m_out << done << '\n';
        if (m_changed)
            m_changed(done);
        return kDone;
    }

    int Refuse(const std::string& why) {
        m_error << "halvane: " << why << '\n';
        return kRefused;
    }

    AccountStore& m_store;
    PasswordSource m_password;
    std::ostream& m_out;
    std::ostream& m_error;
    AccountChangeReport m_changed;
};

} // namespace

int RunAccountCommand(const AccountCommand& command, AccountStore& store, PasswordSource password,
                      std::ostream& out, std::ostream& error, AccountChangeReport changed) {
    return CommandRun(store, password, out, error, std::move(changed)).Run(command);
}

void JournalAccountChange(const std::string& done) {
    const std::filesystem::path config = ResolveDataPath(kConfigRelativePath);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(config, ec))
        return;
    const AlarmOptions options = ReadAlarmOptions(ProfileStore(config));
    if (options.journalFolder.empty())
        return;
    const passwd* account = ::getpwuid(::geteuid());
    const std::string user = account ? account->pw_name : std::to_string(::geteuid());
    EventJournal(options.journalFolder, [](const std::string& message) {
        std::fprintf(stderr, "halvane: %s\n", message.c_str());
    }).Append(EventNow("user-changed", "command-line", user, done), true);
}

} // namespace halvane
