#include "transfer/file_transfer.h"

#include "describe/common.h"

namespace qk::transfer {
namespace {

using NameFn = int(QK_STDCALL*)(int, int, const char*);
using LabelFn = int(QK_STDCALL*)(int, int, int, const char*);

int label_number = 0;

const FileMember* described = nullptr;

Reference describe_member() {
    namespace d = qk::describe;
    const FileMember& m = *described;
    Reference r;
    r.arguments = {d::type_argument(), d::number_argument()};
    if (m.has_label) {
        r.arguments.push_back({3, "label: label number", std::to_string(label_number)});
        r.arguments.push_back(d::file_argument(4));
        r.call = d::call("type, number, label, file name");
    } else {
        r.arguments.push_back(d::file_argument(3));
        r.call = d::call("type, number, file name");
    }
    r.call += " once; the gateway opens, reads or writes the file itself";
    const bool reads = std::string(qk_tool.data_function).back() == 'r';
    r.data_file = d::file_name() + (reads ? " written" : " read") +
                  " by the gateway library (the tool never opens it); its name is handed over as given";
    r.console = "nothing";
    r.escape = "not checked";
    std::string failed = "the data function's result";
    if (m.keeps_connection_on_failure) failed += ": the connection is left open (no closesockets)";
    r.codes = {{kFileOpen, "the file name is over 49 characters (nothing is handed to the gateway)"},
               {kGatewayCodes, failed}};
    return r;
}

}  // namespace

void file_defaults(const FileMember& m) {
    described = &m;
    set_describer(describe_member);
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
