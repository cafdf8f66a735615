// The run sequence every tool shares: defaults, library, parameters,
// arguments, connection, transfer, tear-down. The tear-down undoes only what
// was done, and every run ends with the closing log call and exit status 0.
#include <climits>
#include <cstdio>

#include "qk/frame.h"

namespace qk {

RunState run;

namespace {

template <typename Fn>
bool bind(const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(platform::find_symbol(run.library, name));
    return slot != nullptr;
}

int timeout_milliseconds() {
    const long long ms = static_cast<long long>(run.params.timeout) * 1000;
    if (ms > INT_MAX) return INT_MAX;
    if (ms < INT_MIN) return INT_MIN;
    return static_cast<int>(ms);
}

int timeout_mode() {
    if (qk_tool.timeout_mode == TimeoutMode::DisplayIsOne) return run.params.display == 1 ? 11 : 0;
    return 2;
}

int socket_count() {
    switch (qk_tool.socket_count) {
        case SocketCount::Twenty: return 20;
        case SocketCount::Ingredients: return run.params.ingredients;
        case SocketCount::Twelve: break;
    }
    return 12;
}

void close_connection() {
    if (run.closesockets() != 0) log(kPort);
}

void connect_and_transfer() {
    if (run.params.debug != 0) run.setdebug(1, 1, 1, 1);
    run.settimeouts(timeout_milliseconds(), run.params.reintents, -1, timeout_mode());
    if (run.opensocket(run.params.ip_desti, run.params.port_local, run.params.port_desti,
                       socket_count()) != 0) {
        switch (qk_tool.open_failure) {
            case OpenFailure::LogSkipClose: log(kPort); break;
            case OpenFailure::SilentClose: close_connection(); break;
            case OpenFailure::LogThenClose: log(kPort); close_connection(); break;
        }
        return;
    }
    run_transfer();
    if (!run.skip_closesockets) close_connection();
}

}  // namespace

bool bind_gateway_functions() {
    if (qk_tool.binds_data_function_only) {
        return bind(qk_tool.data_function, run.data_function);
    }
    // Every name is looked up, also after one is missing.
    bool all = bind("opensocket", run.opensocket);
    all = bind("closesockets", run.closesockets) && all;
    all = bind(qk_tool.data_function, run.data_function) && all;
    all = bind("settimeouts", run.settimeouts) && all;
    all = bind("setdebug", run.setdebug) && all;
    all = bind("AddIPRelTableEntry", run.add_entry) && all;
    if (qk_tool.counts_ticket_lines) all = bind("NLinVolcToRead", run.nlin_volc_to_read) && all;
    return all;
}

void load_gateway_library() {
    run.library = platform::load_library("PortalLib");
    run.library_loaded = run.library != nullptr;
    if (run.library_loaded && bind_gateway_functions()) run.functions_bound = true;
}

int run_tool(int argc, char** argv) {
    set_defaults();
    load_gateway_library();
    if (!run.library_loaded) {
        log(kLibraryLoad);
        log(kFunctionLoad);
    } else if (!run.functions_bound) {
        log(kFunctionLoad);
    } else if (const int rc = read_gateway_parameters(run.params); rc != 0) {
        log(qk_tool.parameter_failure_code != 0 ? qk_tool.parameter_failure_code : rc);
    } else {
        parse_arguments(argc, argv);
        if (qk_tool.arguments_acceptable != nullptr && !qk_tool.arguments_acceptable()) {
            std::fflush(stdout);
            return 0;
        }
        if (qk_tool.opens_connection) {
            connect_and_transfer();
        } else {
            run_transfer();
        }
    }
    // Tracing goes off whatever ended the run, also when a parameter file
    // error came after DEBUG was read.
    if (qk_tool.opens_connection && run.params.debug != 0 && run.setdebug != nullptr) {
        run.setdebug(0, 0, 0, 0);
    }
    if (run.library_loaded && !platform::unload_library(run.library)) log(kLibraryUnload);
    if (qk_tool.logs_final_code) log(kOk);
    std::fflush(stdout);
    return 0;
}

}  // namespace qk
