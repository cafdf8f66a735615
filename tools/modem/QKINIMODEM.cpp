// QKINIMODEM: office (1), shop (2) or modem (5) configuration read into
// QKINIMODEM.ASC, or the modem configuration sent (3, 4), with one call of
// inimodem(mode, text). Built on the earlier frame: it binds inimodem alone,
// opens no connection, logs 48 for any parameter file failure and writes its
// log lines with the fixed head QINIMODEM and the English texts.
#include "modem/modem.h"

const qk::ToolInfo qk::qk_tool{
    .name = "QKINIMODEM",
    .data_function = "inimodem",
    .binds_data_function_only = true,
    .opens_connection = false,
    .parameter_failure_code = qk::kFileOpen,
    .logs_final_code = true,
};

void qk::set_defaults() { qk::modem::modem_defaults(); }
void qk::parse_arguments(int argc, char** argv) { qk::modem::modem_arguments(argc, argv); }
void qk::run_transfer() { qk::modem::modem_transfer(); }
