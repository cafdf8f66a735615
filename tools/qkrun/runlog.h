// Reading the error log for qkrun: which lines of what a run appended belong
// to the tool that was run, the code, time and text of each line, and the
// Windows-1252 to UTF-8 and JSON text helpers of its report.
//
// Three line forms share the log:
//   QKLOTR|20/7/2004|13:14:27,045|Error: 48|Can´t open file function   (current tools)
//   |QINIMODEM|20/7/2004|13:14:27,045|Can´t open file function          (QKINIMODEM)
//   |20/7/2004|13:14:27,045|Puerto no Cerrado                           (QKPASS)
// The last two carry no code field: the code is found again from the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qkrun {

enum class LogForm { current, modem, pass };

// The form of the lines that TOOL writes: QKINIMODEM and QKPASS (any letter
// case, with or without a folder or ".exe") write the earlier forms.
LogForm form_of(std::string_view tool);

// The tool's own name as it appears in its line heads: TOOL without folder
// and without a trailing ".exe" (any case).
std::string base_name(std::string_view tool);

// The name under which the tool opens its log; the platform resolves it
// whatever the letter case of the file on disk.
const char* log_name(LogForm form);

struct LogTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct LogEntry {
    std::optional<int> code;  // none: an earlier-form text that names no code
    LogTime time;
    std::string text;  // Windows-1252 bytes, without the line end
    std::string line;  // the whole line as stored, line end included
};

// Parses one line (with or without its CR LF / LF) of the given form. For the
// current form the name in the head must equal tool_name, ignoring ASCII case.
// nullopt when the line is not a line of that tool.
std::optional<LogEntry> parse_line(std::string_view line, LogForm form, std::string_view tool_name);

// The lines of the tool in bytes appended to the log. Only whole lines are
// taken: when at_line_start is false the bytes begin inside a line, whose
// rest is skipped; a last piece without its line feed is skipped too.
std::vector<LogEntry> select_lines(std::string_view appended, bool at_line_start, LogForm form,
                                   std::string_view tool_name);

// The code whose message text (table of the earlier form, or its generic
// "Number Error: %02d" / "Numero de error: %02d") is TEXT; nullopt when the
// text is none of them. The current form always has its code field, so it
// gives nullopt.
std::optional<int> code_from_text(LogForm form, std::string_view text);

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined
// (0x81 0x8D 0x8F 0x90 0x9D) become the control characters of the same number.
std::string cp1252_to_utf8(std::string_view bytes);

// BYTES when they are valid UTF-8, otherwise read as Windows-1252.
std::string text_as_utf8(std::string_view bytes);

// A JSON string literal (quotes included) for UTF-8 text.
std::string json_string(std::string_view utf8);

// "2004-07-20T13:14:27.045"
std::string iso_time(const LogTime& t);

}  // namespace qkrun
