// Modem set-up: one call of the gateway's inimodem for a mode number; the
// reading modes store the configuration text the gateway returns in a text
// file and may show it, the sending modes only report progress.
#pragma once

#include "qk/frame.h"

namespace qk::modem {

struct ModeRow {
    int mode;
    const char* title;  // console title when DISPLAY is not 0
    bool reads;         // the gateway returns a text to store
};

// Mode 1 and "QKINIMODEM.ASC"; the gateway parameters of the earlier frame.
void modem_defaults();
// 1 mode, 2 data file name.
void modem_arguments(int argc, char** argv);
void modem_transfer();

}  // namespace qk::modem
