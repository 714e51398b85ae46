#pragma once

#include "Accounts.h"
#include "CommandLine.h"

#include <iosfwd>

namespace halvane {

// Where a password comes from: one line of `in`; a terminal is prompted, without echo, twice.
struct PasswordSource {
    std::istream& in;
    bool terminal = false;
};

// Runs `command` on `store`: one line saying what was done (or the list of accounts) on `out`,
// and the program's exit status: 0 when done, 2 when refused, with the reason on `error`.
int RunAccountCommand(const AccountCommand& command, AccountStore& store, PasswordSource password,
                      std::ostream& out, std::ostream& error);

} // namespace halvane
