// Record file upload: the lines of a data file that are addressed to the
// destination and record range of the command line, one data call per line.
// Each member tool is one RecordFileMember.
#pragma once

#include "qk/frame.h"

namespace qk::upload {

enum class Call {
    Five,         // f(type, number, index, index, line)
    Four,         // f(type, number, index, line)
    SixSelector,  // f(type, number, index, index, line, selector)
};

enum class Loop {
    Standard,       // echo, then send; the first line above the range ends the reading
    ReadToEnd,      // as Standard, but the file is read to its end
    EchoAfterSend,  // send, then echo what was accepted
};

struct RecordFileMember {
    Call call = Call::Five;
    int selector = 0;          // last argument of the six-argument form
    int last_index = 4;        // default last record index
    int no_index = -1;         // current index of a line that is not sent
    const char* open_mode = "rb";
    Loop loop = Loop::Standard;
    bool compact = false;      // blanks after the eighth character dropped
};

void record_file_defaults(const RecordFileMember& m);
// 1 type, 2 number, 3 first, 4 last, 5 data file name.
void upload_arguments(int argc, char** argv);
void record_file_transfer(const RecordFileMember& m);

}  // namespace qk::upload
