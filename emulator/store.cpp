#include "store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <process.h>
#include <windows.h>
#define PORTALLIB_GETPID _getpid
#else
#include <unistd.h>
#define PORTALLIB_GETPID getpid
#endif

namespace fs = std::filesystem;

namespace portallib {

namespace {

const char kHexDigits[] = "0123456789abcdef";

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decimal int32 with optional '-', nothing else.
bool parse_index(std::string_view text, std::int32_t& out) {
    if (text.empty()) return false;
    bool negative = false;
    std::size_t i = 0;
    if (text[0] == '-') {
        negative = true;
        i = 1;
    }
    if (i == text.size()) return false;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) return false;
    }
    if (negative) value = -value;
    if (value > 2147483647LL || value < -2147483648LL) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

std::string error_text(const fs::path& file, std::size_t line, const char* what) {
    std::ostringstream s;
    s << file.string();
    if (line) s << ':' << line;
    s << ": " << what;
    return s.str();
}

}  // namespace

namespace {

bool plain(unsigned char c) { return c >= 0x20 && c <= 0x7e && c != '\\' && c != '"'; }

void escape_into(std::string_view bytes, std::string& out) {
    std::size_t i = 0, n = bytes.size();
    while (i < n) {
        std::size_t run = i;
        while (run < n && plain(static_cast<unsigned char>(bytes[run]))) ++run;
        out.append(bytes.data() + i, run - i);
        if (run == n) break;
        unsigned char c = static_cast<unsigned char>(bytes[run]);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            out += "\\x";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0x0f];
        }
        i = run + 1;
    }
}

}  // namespace

std::string escape(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    escape_into(bytes, out);
    return out;
}

std::uint64_t fingerprint(const Records& records) {
    std::uint64_t h = 14695981039346656037ull;
    auto mix = [&h](const void* data, std::size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (std::size_t k = 0; k < size; ++k) h = (h ^ p[k]) * 1099511628211ull;
    };
    for (const auto& [index, bytes] : records) {
        std::uint64_t head[2] = {static_cast<std::uint64_t>(static_cast<std::uint32_t>(index)), bytes.size()};
        mix(head, sizeof head);
        mix(bytes.data(), bytes.size());
    }
    return h ^ records.size();
}

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7e) return false;
        if (c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (i + 2 >= text.size()) return false;
            int hi = hex_value(text[i + 1]);
            int lo = hex_value(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return true;
}

bool valid_kind(std::string_view kind) {
    if (kind.empty() || kind.size() > 32) return false;
    for (char c : kind)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

Records read_store_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw StoreError(error_text(file, 0, "cannot be read"));
    Records records;
    std::string line, bytes;
    std::size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();  // edited on Windows
        if (line.empty() || line[0] == '#') continue;
        std::size_t blank = line.find(' ');
        std::string_view view(line);
        std::int32_t index = 0;
        if (!parse_index(view.substr(0, blank), index))
            throw StoreError(error_text(file, number, "record index is not a decimal number"));
        std::string_view body = blank == std::string::npos ? std::string_view() : view.substr(blank + 1);
        if (!unescape(body, bytes))
            throw StoreError(error_text(file, number, "malformed escape in record"));
        records[index] = bytes;
    }
    if (in.bad()) throw StoreError(error_text(file, 0, "read error"));
    return records;
}

bool write_store_file(const fs::path& file, const Records& records, std::string* error) {
    fs::path temp = file;
    temp += ".tmp" + std::to_string(static_cast<long>(PORTALLIB_GETPID()));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        std::string line = "# portallib store: one record per line, \"<index> <bytes with C escapes>\"\n";
        for (auto it = records.begin(); out && it != records.end(); ++it) {
            out.write(line.data(), static_cast<std::streamsize>(line.size()));
            line = std::to_string(it->first);
            line += ' ';
            escape_into(it->second, line);
            line += '\n';
        }
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            if (error) *error = error_text(file, 0, "cannot be written");
            return false;
        }
    }
    std::error_code ec;
#if defined(_WIN32)
    // Replace the old file in one step, as rename does on POSIX.
    if (!MoveFileExW(temp.wstring().c_str(), file.wstring().c_str(), MOVEFILE_REPLACE_EXISTING))
        ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
#else
    fs::rename(temp, file, ec);
#endif
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        if (error) *error = error_text(file, 0, ("cannot be replaced: " + ec.message()).c_str());
        return false;
    }
    return true;
}

Store::Store(fs::path dir) : dir_(std::move(dir)) {}

fs::path Store::default_dir() {
    const char* env = std::getenv(kStateEnv);
    if (env && *env) return fs::path(env);
    return fs::path(kDefaultStateDir);
}

fs::path Store::file_for(const fs::path& dir, int terminal, std::string_view kind) {
    std::string name;
    if (terminal == kGateway) {
        name = "gateway";
    } else {
        name = "t";
        name += std::to_string(terminal);
    }
    name += '.';
    name += kind;
    return dir / name;
}

Records* Store::find(int terminal, std::string_view kind, std::string* error) {
    if (!valid_kind(kind)) {
        if (error) *error = "invalid kind name \"" + escape(kind) + "\"";
        return nullptr;
    }
    auto key = std::make_pair(terminal, std::string(kind));
    auto it = loaded_.find(key);
    if (it != loaded_.end()) return &it->second.data;
    fs::path file = file_for(dir_, terminal, kind);
    Entry entry;
    std::error_code ec;
    if (fs::exists(file, ec)) {
        try {
            entry.data = read_store_file(file);
        } catch (const StoreError& e) {
            if (error) *error = e.what();
            return nullptr;
        }
    }
    entry.on_disk = fingerprint(entry.data);
    return &loaded_.emplace(std::move(key), std::move(entry)).first->second.data;
}

Records& Store::records(int terminal, std::string_view kind) {
    if (!valid_kind(kind)) throw std::invalid_argument("invalid kind name \"" + escape(kind) + "\"");
    std::string error;
    Records* r = find(terminal, kind, &error);
    if (!r) throw StoreError(error);
    return *r;
}

bool Store::changed() const {
    for (const auto& [key, entry] : loaded_)
        if (fingerprint(entry.data) != entry.on_disk) return true;
    return false;
}

bool Store::save(std::string* error) {
    bool ok = true;
    bool folder_ready = false;
    for (auto& [key, entry] : loaded_) {
        std::uint64_t now = fingerprint(entry.data);
        if (now == entry.on_disk) continue;
        fs::path file = file_for(dir_, key.first, key.second);
        std::string why;
        if (!folder_ready) {
            std::error_code ec;
            fs::create_directories(dir_, ec);
            folder_ready = true;
        }
        bool written;
        if (entry.data.empty()) {
            std::error_code ec;
            fs::remove(file, ec);
            written = !ec;
            if (ec) why = error_text(file, 0, ("cannot be removed: " + ec.message()).c_str());
        } else {
            written = write_store_file(file, entry.data, &why);
        }
        if (written) {
            entry.on_disk = now;
        } else {
            if (ok && error) *error = why;
            ok = false;
        }
    }
    return ok;
}

std::vector<std::pair<int, std::string>> Store::on_disk() const {
    std::vector<std::pair<int, std::string>> found;
    std::error_code ec;
    fs::directory_iterator it(dir_, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::size_t dot = name.find('.');
        if (dot == std::string::npos) continue;
        std::string head = name.substr(0, dot), kind = name.substr(dot + 1);
        if (!valid_kind(kind)) continue;  // also skips temporary files
        std::int32_t terminal = 0;
        if (head == "gateway")
            terminal = kGateway;
        else if (head.size() < 2 || head[0] != 't' || !parse_index(std::string_view(head).substr(1), terminal))
            continue;
        found.emplace_back(terminal, kind);
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace portallib
