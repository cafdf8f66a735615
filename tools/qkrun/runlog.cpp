#include "runlog.h"

#include "qk/log_texts.h"

#include <cstdio>

namespace qkrun {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A cursor over one line; every reader consumes only on success.
struct Cursor {
    std::string_view s;
    std::size_t pos = 0;

    bool literal(std::string_view what) {
        if (s.substr(pos, what.size()) != what) return false;
        pos += what.size();
        return true;
    }
    // MIN to MAX decimal digits, no sign.
    bool digits(std::size_t min, std::size_t max, int& value) {
        std::size_t n = 0;
        long long v = 0;
        while (pos + n < s.size() && n < max && is_digit(s[pos + n])) {
            v = v * 10 + (s[pos + n] - '0');
            ++n;
        }
        if (n < min || (pos + n < s.size() && is_digit(s[pos + n]))) return false;
        pos += n;
        value = static_cast<int>(v);
        return true;
    }
    // An optional minus and 1 to 10 digits that fit a 32-bit int.
    bool signed_int(int& value) {
        std::size_t p = pos;
        const bool negative = p < s.size() && s[p] == '-';
        if (negative) ++p;
        std::size_t n = 0;
        long long v = 0;
        while (p + n < s.size() && is_digit(s[p + n])) {
            if (++n > 10) return false;
            v = v * 10 + (s[p + n - 1] - '0');
        }
        if (n == 0) return false;
        if (negative) v = -v;
        if (v < -2147483648LL || v > 2147483647LL) return false;
        pos = p + n;
        value = static_cast<int>(v);
        return true;
    }
    std::string_view rest() const { return s.substr(pos); }
};

// "d/m/yyyy|hh:mm:ss,mmm|"
bool date_and_time(Cursor& c, LogTime& t) {
    Cursor k = c;
    if (!k.digits(1, 2, t.day) || !k.literal("/") || !k.digits(1, 2, t.month) || !k.literal("/") ||
        !k.digits(4, 4, t.year) || !k.literal("|") || !k.digits(2, 2, t.hour) || !k.literal(":") ||
        !k.digits(2, 2, t.minute) || !k.literal(":") || !k.digits(2, 2, t.second) || !k.literal(",") ||
        !k.digits(3, 3, t.millisecond) || !k.literal("|")) {
        return false;
    }
    if (t.day < 1 || t.day > 31 || t.month < 1 || t.month > 12 || t.hour > 23 || t.minute > 59 ||
        t.second > 60) {
        return false;
    }
    c = k;
    return true;
}

std::string_view without_line_end(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The code of a generic text "<prefix><code>" (the code as "%02d" writes it).
std::optional<int> generic_code(std::string_view text, std::string_view prefix) {
    Cursor c{text};
    int code = 0;
    if (!c.literal(prefix) || !c.signed_int(code) || !c.rest().empty()) return std::nullopt;
    return code;
}

void append_utf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 0x80..0x9F; the undefined five keep their own number.
constexpr unsigned short kHighBlock[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool valid_utf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned cp;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0Fu;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07u;
        } else {
            return false;
        }
        if (s.size() - i < len) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const unsigned char cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cb & 0x3Fu);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

}  // namespace

std::string base_name(std::string_view tool) {
    const std::size_t slash = tool.find_last_of("/\\");
    if (slash != std::string_view::npos) tool.remove_prefix(slash + 1);
    if (tool.size() > 4 && equal_ignoring_case(tool.substr(tool.size() - 4), ".exe")) {
        tool.remove_suffix(4);
    }
    return std::string(tool);
}

LogForm form_of(std::string_view tool) {
    const std::string name = base_name(tool);
    if (equal_ignoring_case(name, "QKINIMODEM")) return LogForm::modem;
    if (equal_ignoring_case(name, "QKPASS")) return LogForm::pass;
    return LogForm::current;
}

const char* log_name(LogForm form) { return form == LogForm::current ? "ordenes.err" : "ORDENES.ERR"; }

std::optional<int> code_from_text(LogForm form, std::string_view text) {
    switch (form) {
        case LogForm::current: return std::nullopt;
        case LogForm::modem:
            for (const auto& m : qk::log_texts::kModem) {
                if (without_line_end(m.text) == text && m.code != 0) return m.code;
            }
            return generic_code(text, "Number Error: ");
        case LogForm::pass:
            for (const auto& m : qk::log_texts::kPass) {
                if (without_line_end(m.text) == text) return m.code;
            }
            return generic_code(text, "Numero de error: ");
    }
    return std::nullopt;
}

std::optional<LogEntry> parse_line(std::string_view line, LogForm form, std::string_view tool_name) {
    Cursor c{without_line_end(line)};
    LogEntry e;
    switch (form) {
        case LogForm::current: {
            const std::size_t bar = c.s.find('|');
            if (bar == std::string_view::npos || bar == 0 || !equal_ignoring_case(c.s.substr(0, bar), tool_name)) {
                return std::nullopt;
            }
            c.pos = bar + 1;
            int code = 0;
            if (!date_and_time(c, e.time) || !c.literal("Error: ") || !c.signed_int(code) || !c.literal("|")) {
                return std::nullopt;
            }
            e.code = code;
            e.text = std::string(c.rest());
            break;
        }
        case LogForm::modem:
            if (!c.literal("|QINIMODEM|") || !date_and_time(c, e.time)) return std::nullopt;
            e.text = std::string(c.rest());
            e.code = code_from_text(form, e.text);
            break;
        case LogForm::pass:
            if (!c.literal("|") || !date_and_time(c, e.time)) return std::nullopt;
            e.text = std::string(c.rest());
            e.code = code_from_text(form, e.text);
            break;
    }
    e.line = std::string(line);
    return e;
}

std::vector<LogEntry> select_lines(std::string_view appended, bool at_line_start, LogForm form,
                                   std::string_view tool_name) {
    std::vector<LogEntry> kept;
    std::size_t pos = 0;
    if (!at_line_start) {
        const std::size_t lf = appended.find('\n');
        if (lf == std::string_view::npos) return kept;
        pos = lf + 1;
    }
    while (pos < appended.size()) {
        const std::size_t lf = appended.find('\n', pos);
        if (lf == std::string_view::npos) break;  // a line still being written
        if (auto e = parse_line(appended.substr(pos, lf + 1 - pos), form, tool_name)) {
            kept.push_back(std::move(*e));
        }
        pos = lf + 1;
    }
    return kept;
}

std::string cp1252_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F) {
            append_utf8(out, kHighBlock[b - 0x80]);
        } else {
            append_utf8(out, b);
        }
    }
    return out;
}

std::string text_as_utf8(std::string_view bytes) {
    return valid_utf8(bytes) ? std::string(bytes) : cp1252_to_utf8(bytes);
}

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        char esc[8];
        switch (b) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        if (b < 0x20 || b == 0x7F) {
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else if (b == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80) {
            // The C1 controls, written out so that they stay visible.
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(utf8[i + 1]));
            out += esc;
            ++i;
        } else {
            out += static_cast<char>(b);
        }
    }
    out += '"';
    return out;
}

std::string iso_time(const LogTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
    return buf;
}

}  // namespace qkrun
