#pragma once

#include "Accounts.h"
#include "CommandLine.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace halvane {

// Where a password comes from: one line of `in`; a terminal is prompted, without echo, twice.
struct PasswordSource {
    std::istream& in;
    bool terminal = false;
};

// Told the line that says what changed, once the users file holds the change.
using AccountChangeReport = std::function<void(const std::string& done)>;

// Runs `command` on `store`: one line saying what was done (or the list of accounts) on `out`,
// and the program's exit status: 0 when done, 2 when refused, with the reason on `error`.
int RunAccountCommand(const AccountCommand& command, AccountStore& store, PasswordSource password,
                      std::ostream& out, std::ostream& error, AccountChangeReport changed = {});

// Writes "user-changed" to the journal of the data root's station (its events folder as
// configured), naming the system user who ran the command and what changed; nothing when
// the data root has no project or no journal. Appends beside a running station.
void JournalAccountChange(const std::string& done);

} // namespace halvane
