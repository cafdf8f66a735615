// What the emulated scales hold, kept in a state folder on disk.
//
// Every scale (by terminal number) keeps records of several kinds ("lot",
// "pl", "ticket", "logo", ...). Each scale and kind is one file of the state
// folder, loaded the first time that scale and kind is asked for, and written
// back (temporary file, then rename) by save() when its records changed.
// Records are byte strings: zero bytes, CR and LF are kept as they are.
//
// File "<state>/t<terminal>.<kind>" (the gateway's own settings, which belong
// to no scale, live in "<state>/gateway.<kind>"): lines starting with '#' are
// comments; every other line is one record, "<index> <bytes>", the index in
// decimal, one blank, then the bytes with C escapes (\\ \" \r \n \t and \xHH
// with exactly two hex digits for any other byte below 0x20 or above 0x7e),
// so that every record is one line of printable ASCII whatever it holds.
//
//   portallib::Store s(portallib::Store::default_dir());
//   s.records(1, "lot")[3] = "S 01 003 abc\r\n";
//   s.save();
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace portallib {

// Records of one scale and kind, by index.
using Records = std::map<std::int32_t, std::string>;

// The terminal number under which the gateway keeps what belongs to no scale
// (office, shop and modem configuration). No scale can have this number.
inline constexpr int kGateway = INT32_MIN;

// Environment variable that points the state folder elsewhere, and the
// folder used when it is unset or empty (relative to the working directory).
inline constexpr const char* kStateEnv = "PORTALLIB_STATE";
inline constexpr const char* kDefaultStateDir = "portallib-state";

// A store file that cannot be read as records.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// C escapes of the file format and the journal: printable ASCII out.
std::string escape(std::string_view bytes);
// The reverse; false (out unspecified) for a malformed escape or a byte that
// escape() never writes raw (below 0x20 or above 0x7e).
bool unescape(std::string_view text, std::string& out);

// Kind names are file name parts: 1 to 32 of a-z, 0-9 and '_'.
bool valid_kind(std::string_view kind);

class Store {
public:
    explicit Store(std::filesystem::path dir);
    ~Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // $PORTALLIB_STATE when set and not empty, else "portallib-state".
    static std::filesystem::path default_dir();
    // File of one scale and kind (kGateway: the gateway's own file).
    static std::filesystem::path file_for(const std::filesystem::path& dir, int terminal,
                                          std::string_view kind);

    const std::filesystem::path& dir() const { return dir_; }

    // The records of a scale and kind, loaded from disk on first use (a
    // missing file is an empty store). Throws StoreError when the file is
    // malformed or unreadable, and std::invalid_argument for a bad kind name.
    Records& records(int terminal, std::string_view kind);
    // Like records(), but nullptr with *error filled instead of throwing.
    Records* find(int terminal, std::string_view kind, std::string* error);

    // Writes every loaded store whose records differ from the file's, each
    // atomically (an emptied store removes its file). Creates the folder when
    // needed. false with *error filled when a file could not be written; the
    // others are still written.
    bool save(std::string* error = nullptr);
    // Whether save() has anything to write.
    bool changed() const;

    // Scale and kind of every store file present in the folder, in order of
    // terminal then kind (kGateway first). Loads nothing.
    std::vector<std::pair<int, std::string>> on_disk() const;

private:
    struct Entry {
        Records data;
        std::uint64_t on_disk = 0;  // fingerprint of the records as on disk
    };
    std::filesystem::path dir_;
    std::map<std::pair<int, std::string>, Entry> loaded_;
};

// Reads a store file's records (the file must exist). Throws StoreError.
Records read_store_file(const std::filesystem::path& file);
// Writes records in the file format through a temporary file and a rename.
// false with *error filled when it failed.
bool write_store_file(const std::filesystem::path& file, const Records& records,
                      std::string* error);

// 64-bit fingerprint of records (indexes, lengths and bytes), by which a
// store tells whether it changed since it was read or written.
std::uint64_t fingerprint(const Records& records);

}  // namespace portallib
