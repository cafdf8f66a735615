// Scale command tools: one command per run (or, for the article delete, one
// per index of a record range), no data file, nothing on the console.
#pragma once

#include "qk/frame.h"

namespace qk::command {

enum class Call {
    Value,     // f(type, number, value): command parameter or label number
    NoValue,   // f(type, number)
    Range,     // f(type, number, i, i, value) for each index i of the range
    Password,  // f(type, number, password text)
};

struct CommandMember {
    Call call = Call::Value;
    int value = 0;  // default of the command parameter or label number
    // A failed command (or, for the range, an early stop) leaves the
    // connection as it is: closesockets is not called.
    bool keep_connection_after_failure = false;
};

// Destination S 0, the member's value, the range 0 to 4, password "590817".
void command_defaults(const CommandMember& m);
// 1 type, 2 number; then 3 value (Value), 3 password (Password),
// or 3 first, 4 last, 5 value (Range).
void command_arguments(const CommandMember& m, int argc, char** argv);
void command_transfer(const CommandMember& m);

}  // namespace qk::command
