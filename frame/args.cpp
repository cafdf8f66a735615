// Command-line conventions and the helpers the transfer loops share.
#include <climits>
#include <cstdio>
#include <cstring>

#include "qk/frame.h"

namespace qk {

int read_number(const char* text) {
    if (text == nullptr) return 0;
    const char* c = text;
    while (*c == ' ' || (*c >= '\t' && *c <= '\r')) ++c;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    long long value = 0;
    for (; *c >= '0' && *c <= '9'; ++c) {
        // Held at the 32-bit limits: no overflow, whatever the digits.
        if (value <= INT_MAX) value = value * 10 + (*c - '0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

void read_dest_type(const char* text, int& dest_type) {
    if (text == nullptr) return;
    switch (text[0]) {
        case 't': case 'T': dest_type = 'T'; break;
        case 's': case 'S': dest_type = 'S'; break;
        default: break;
    }
}

void read_file_name(const char* text) {
    if (text == nullptr) return;
    if (std::strlen(text) > kFileNameSize - 1) {
        // Cutting the name could silently write another file: refuse it.
        run.file_name_refused = true;
        return;
    }
    std::memset(run.file_name, 0, sizeof run.file_name);
    std::memcpy(run.file_name, text, std::strlen(text));
    run.file_name_refused = false;
}

void read_destination(int argc, char** argv) {
    read_dest_type(argument(argc, argv, 1), run.dest_type);
    if (const char* a = argument(argc, argv, 2)) run.dest_number = read_number(a);
}

void default_file_name(const char* extension) {
    std::memset(run.file_name, 0, sizeof run.file_name);
    std::snprintf(run.file_name, sizeof run.file_name, "%s%s", qk_tool.name, extension);
}

void range_defaults(int last_index, const char* extension) {
    run.dest_type = 'S';
    run.dest_number = 0;
    run.first_index = 0;
    run.last_index = last_index;
    default_file_name(extension);
    std::memset(run.record, 0, sizeof run.record);
}

bool escape_pressed_asking() {
    if (platform::key_waiting()) run.last_key = platform::read_key();
    run.keys_ended = platform::keys_ended();
    return run.last_key == kEscape;
}

platform::File* open_data_file(const char* mode) {
    platform::File* f = run.file_name_refused ? nullptr : platform::open_file(run.file_name, mode);
    if (f == nullptr) log(kFileOpen);
    return f;
}

void close_data_file(platform::File* f) {
    if (!platform::close_file(f)) log(kFileClose);
}

void echo(const char* text) { std::fputs(text, stdout); }

}  // namespace qk
