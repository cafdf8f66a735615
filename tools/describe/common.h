// Pieces of the reference entries that several families share. Every value
// comes from the run state as the tool's defaults step left it.
#pragma once

#include <string>

#include "qk/frame.h"

namespace qk::describe {

inline std::string code(const std::string& text) { return "`" + text + "`"; }

// The data function's name with its arguments, e.g. `lotr(type, number, buf)`.
inline std::string call(const std::string& arguments) {
    return code(std::string(qk_tool.data_function) + "(" + arguments + ")");
}

inline ReferenceArgument type_argument() {
    return {1, "type: S (section) or T (terminal); another letter keeps the default", std::string(1, static_cast<char>(run.dest_type))};
}

inline ReferenceArgument number_argument() {
    return {2, "number: section or terminal number", std::to_string(run.dest_number)};
}

inline ReferenceArgument first_argument(int position = 3) {
    return {position, "first record index", std::to_string(run.first_index)};
}

inline ReferenceArgument last_argument(int position = 4) {
    return {position, "last record index", std::to_string(run.last_index)};
}

inline ReferenceArgument file_argument(int position) {
    return {position, "file: data file name, at most 49 characters (a longer one is refused: 48)",
            code(run.file_name)};
}

inline std::string file_name() { return code(run.file_name); }

inline ReferenceCode file_open_code() {
    return {kFileOpen, "the data file cannot be opened, or its name is over 49 characters"};
}

inline ReferenceCode file_close_code() { return {kFileClose, "the data file cannot be closed"}; }

inline ReferenceCode cancel_code() { return {kUserCancel, "Escape was pressed"}; }

}  // namespace qk::describe
