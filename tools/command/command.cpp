#include "command/command.h"

#include <cstring>

#include "describe/common.h"

namespace qk::command {
namespace {

using ValueFn = int(QK_STDCALL*)(int, int, int);
using NoValueFn = int(QK_STDCALL*)(int, int);
using RangeFn = int(QK_STDCALL*)(int, int, int, int, int);
using PasswordFn = int(QK_STDCALL*)(int, int, const char*);

constexpr std::size_t kPasswordSize = 50;  // at most 49 characters
constexpr char kDefaultPassword[] = "590817";

int value = 0;
char password[kPasswordSize] = {};
// Set when the password argument did not fit its field: sending it cut short
// would be sending another password, so nothing is sent (code 48).
bool password_refused = false;

// Delete over the range; false when it stopped early (Escape or a failed call).
bool delete_range() {
    // The upper bound is compared as a signed 32-bit value; the index is kept
    // wider so that a range ending at the largest int still ends.
    for (long long i = run.first_index; i <= run.last_index; ++i) {
        if (escape_pressed()) {
            log(kUserCancel);
            return false;
        }
        const int index = static_cast<int>(i);
        const int rc = data_function<RangeFn>()(run.dest_type, run.dest_number, index, index, value);
        if (rc != 0) {
            log(rc);
            return false;
        }
    }
    return true;
}

int send_once(const CommandMember& m) {
    switch (m.call) {
        case Call::Value: return data_function<ValueFn>()(run.dest_type, run.dest_number, value);
        case Call::NoValue: return data_function<NoValueFn>()(run.dest_type, run.dest_number);
        case Call::Password:
            if (password_refused) return kFileOpen;
            return data_function<PasswordFn>()(run.dest_type, run.dest_number, password);
        case Call::Range: break;
    }
    return 0;
}

const CommandMember* described = nullptr;

Reference describe_member() {
    namespace d = qk::describe;
    const CommandMember& m = *described;
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument()};
    r.escape = "not checked";
    r.codes = {{kGatewayCodes, "the command's result"}};
    switch (m.call) {
        case Call::Value:
            r.arguments.push_back({3, "value: command parameter (label number for the label erase)", std::to_string(value)});
            r.call = d::call("type, number, value") + " once";
            break;
        case Call::NoValue:
            r.call = d::call("type, number") + " once";
            break;
        case Call::Range:
            r.arguments.insert(r.arguments.end(), {d::first_argument(), d::last_argument(),
                                                   {5, "value: command parameter", std::to_string(value)}});
            r.call = d::call("type, number, i, i, value") + " for every index i from first to last";
            r.escape = "checked before every call: 27 is logged and the loop ends";
            r.codes = {{kGatewayCodes, "the command's result: the loop ends"}, d::cancel_code()};
            break;
        case Call::Password:
            r.arguments.push_back({3, "password: text of at most " + std::to_string(kPasswordSize - 1) +
                                          " characters (a longer one is refused: 48, nothing sent)",
                                   d::code(password)});
            r.call = d::call("type, number, password") + " once";
            r.codes.push_back({kFileOpen, "the password is over " + std::to_string(kPasswordSize - 1) + " characters"});
            break;
    }
    if (m.keep_connection_after_failure) {
        r.notes = "after a failed command (or an early stop) the connection is left open (no closesockets)";
    }
    r.console = "nothing";
    return r;
}

}  // namespace

void command_defaults(const CommandMember& m) {
    described = &m;
    set_describer(describe_member);
    run.dest_type = 'S';
    run.dest_number = 0;
    run.first_index = 0;
    run.last_index = 4;
    value = m.value;
    std::memset(password, 0, sizeof password);
    std::memcpy(password, kDefaultPassword, sizeof kDefaultPassword);
    password_refused = false;
}

void command_arguments(const CommandMember& m, int argc, char** argv) {
    read_destination(argc, argv);
    switch (m.call) {
        case Call::Value:
            if (const char* a = argument(argc, argv, 3)) value = read_number(a);
            break;
        case Call::Range:
            if (const char* a = argument(argc, argv, 3)) run.first_index = read_number(a);
            if (const char* a = argument(argc, argv, 4)) run.last_index = read_number(a);
            if (const char* a = argument(argc, argv, 5)) value = read_number(a);
            break;
        case Call::Password:
            if (const char* a = argument(argc, argv, 3)) {
                const std::size_t n = std::strlen(a);
                if (n > kPasswordSize - 1) {
                    password_refused = true;
                } else {
                    std::memset(password, 0, sizeof password);
                    std::memcpy(password, a, n);
                }
            }
            break;
        case Call::NoValue: break;
    }
}

void command_transfer(const CommandMember& m) {
    bool sent;
    if (m.call == Call::Range) {
        sent = delete_range();
    } else {
        const int rc = send_once(m);
        if (rc != 0) log(rc);
        sent = rc == 0;
    }
    if (!sent && m.keep_connection_after_failure) run.skip_closesockets = true;
}

}  // namespace qk::command
