#include "transfer/file_transfer.h"

namespace qk::transfer {
namespace {

using NameFn = int(QK_STDCALL*)(int, int, const char*);
using LabelFn = int(QK_STDCALL*)(int, int, int, const char*);

int label_number = 0;

}  // namespace

void file_defaults(const FileMember& m) {
    run.dest_type = 'S';
    run.dest_number = 0;
    label_number = m.label_default;
    default_file_name(m.extension);
}

void file_arguments(const FileMember& m, int argc, char** argv) {
    read_destination(argc, argv);
    int name_position = 3;
    if (m.has_label) {
        if (const char* a = argument(argc, argv, 3)) label_number = read_number(a);
        name_position = 4;
    }
    read_file_name(argument(argc, argv, name_position));
}

void file_transfer(const FileMember& m) {
    // A name too long for the field never reaches the gateway: handing it a
    // cut name would read or overwrite some other file.
    if (run.file_name_refused) {
        log(kFileOpen);
        return;
    }
    const int rc = m.has_label
        ? data_function<LabelFn>()(run.dest_type, run.dest_number, label_number, run.file_name)
        : data_function<NameFn>()(run.dest_type, run.dest_number, run.file_name);
    if (rc != 0) {
        log(rc);
        if (m.keeps_connection_on_failure) run.skip_closesockets = true;
    }
}

}  // namespace qk::transfer
