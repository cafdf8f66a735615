// The platform layer's files, names and clock, in process.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform_scratch.h"
#include "qk/platform.h"

namespace platform_test {
namespace {

using namespace qk::platform;

class PlatformFiles : public PlatformScratch {};

std::string read_all(const char* name, const char* mode) {
    File* f = open_file(name, mode);
    if (f == nullptr) return "<no file>";
    std::string out;
    char buf[7];  // small on purpose: many calls across the file's buffer
    std::size_t n;
    while ((n = read_file(f, buf, sizeof buf)) > 0) out.append(buf, n);
    EXPECT_TRUE(at_end(f));
    EXPECT_FALSE(read_failed(f));
    EXPECT_TRUE(close_file(f));
    return out;
}

bool write_all(const char* name, const char* mode, const std::string& bytes) {
    File* f = open_file(name, mode);
    if (f == nullptr) return false;
    const std::size_t n = write_file(f, bytes.data(), bytes.size());
    EXPECT_EQ(n, bytes.size());
    return close_file(f);
}

// ---- Text and binary mode ------------------------------------------------------

struct WriteCase {
    friend void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    const char* mode;
    std::string given;
    std::string stored;
};

class WriteMode : public PlatformScratch, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteMode, StoresTheTargetBytes) {
    const WriteCase& c = GetParam();
    ASSERT_TRUE(write_all("out.asc", c.mode, c.given));
    EXPECT_EQ(get("out.asc"), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Platform, WriteMode,
    ::testing::Values(WriteCase{"Lines", "wt", "a\nb\n", "a\r\nb\r\n"},
                      WriteCase{"EmptyLines", "w", "\n\n", "\r\n\r\n"},
                      WriteCase{"NoLineEnd", "wt", "no end", "no end"},
                      WriteCase{"Nothing", "wt", "", ""},
                      // A CR before the LF is not special: it stays and gets its own CR LF.
                      WriteCase{"CrBeforeLf", "wt", "x\r\n", "x\r\r\n"},
                      WriteCase{"Append", "a", "line\n", "line\r\n"},
                      WriteCase{"Binary", "wb", std::string("a\nb\r\n\x1a\0z", 8), std::string("a\nb\r\n\x1a\0z", 8)},
                      WriteCase{"AppendBinary", "ab", "a\n", "a\n"}),
    [](const auto& p) { return std::string(p.param.name); });

struct ReadCase {
    friend void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    const char* mode;
    std::string stored;
    std::string read;
};

class ReadMode : public PlatformScratch, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadMode, HandsOutTheTranslatedBytes) {
    const ReadCase& c = GetParam();
    put("in.asc", c.stored);
    EXPECT_EQ(read_all("in.asc", c.mode), c.read);
}

INSTANTIATE_TEST_SUITE_P(
    Platform, ReadMode,
    ::testing::Values(ReadCase{"CrLf", "rt", "a\r\nb\r\n", "a\nb\n"},
                      ReadCase{"DefaultIsText", "r", "a\r\nb", "a\nb"},
                      ReadCase{"LoneCr", "rt", "a\rb", "a\rb"},          // lone CR stays
                      ReadCase{"CrLast", "rt", "a\r", "a\r"},            // CR as the last byte
                      ReadCase{"CrCrLf", "rt", "a\r\r\n", "a\r\n"},
                      ReadCase{"BareLf", "rt", "a\n", "a\n"},            // bare LF
                      ReadCase{"EndMarkByte", "rt", "ab\x1a" "cd\r\n", "ab"},  // 0x1A ends the file
                      ReadCase{"OnlyEndMark", "rt", "\x1a", ""},
                      ReadCase{"Empty", "rt", "", ""},
                      ReadCase{"BinaryKeepsAll", "rb", "ab\x1a" "cd\r\n", "ab\x1a" "cd\r\n"},
                      ReadCase{"BinaryCrLf", "rb", "a\r\nb", "a\r\nb"}),
    [](const auto& p) { return std::string(p.param.name); });

// A CR LF split by the edge of the 64 KiB read buffer still arrives as LF,
// however the bytes are taken.
TEST_F(PlatformFiles, CrLfAcrossTheBufferEdge) {
    for (std::size_t cr_at : {65535u, 65536u, 131071u}) {
        const std::string stored = std::string(cr_at, 'x') + "\r\ny\r";
        const std::string expected = std::string(cr_at, 'x') + "\ny\r";
        put("edge.asc", stored);
        EXPECT_EQ(read_all("edge.asc", "rt"), expected) << cr_at;

        File* f = open_file("edge.asc", "rt");
        ASSERT_NE(f, nullptr);
        std::string by_byte;
        for (int c; (c = read_byte(f)) >= 0;) by_byte.push_back(static_cast<char>(c));
        EXPECT_TRUE(at_end(f));
        EXPECT_TRUE(close_file(f));
        EXPECT_EQ(by_byte, expected) << cr_at;
    }
}

TEST_F(PlatformFiles, EndMarkStaysAfterTheEndOfFileByte) {
    put("z.asc", "ab\x1a" "cd");
    File* f = open_file("z.asc", "rt");
    ASSERT_NE(f, nullptr);
    char buf[8];
    EXPECT_EQ(read_file(f, buf, sizeof buf), 2u);
    EXPECT_TRUE(at_end(f));
    EXPECT_EQ(read_file(f, buf, sizeof buf), 0u);
    EXPECT_EQ(read_byte(f), -1);
    EXPECT_FALSE(read_failed(f));
    EXPECT_TRUE(close_file(f));
}

// Many small writes and one large block, across several buffer flushes, come
// out whole and in order.
TEST_F(PlatformFiles, LargeWritesKeepOrder) {
    File* f = open_file("big.asc", "wt");
    ASSERT_NE(f, nullptr);
    std::string expected;
    for (int i = 0; i < 30000; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        ASSERT_EQ(write_file(f, line.data(), line.size()), line.size());
        expected += "line " + std::to_string(i) + "\r\n";
    }
    const std::string block(600000, 'b');  // larger than the write buffer
    ASSERT_EQ(write_file(f, block.data(), block.size()), block.size());
    expected += block;
    ASSERT_TRUE(close_file(f));
    EXPECT_EQ(get("big.asc"), expected);

    f = open_file("big.bin", "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(write_file(f, "head", 4), 4u);
    ASSERT_EQ(write_file(f, block.data(), block.size()), block.size());
    ASSERT_EQ(write_file(f, "tail", 4), 4u);
    ASSERT_TRUE(close_file(f));
    EXPECT_EQ(get("big.bin"), "head" + block + "tail");
}

TEST_F(PlatformFiles, ModesCreateTruncateAndAppend) {
    put("f.asc", "old contents");
    ASSERT_TRUE(write_all("f.asc", "wt", "new\n"));
    EXPECT_EQ(get("f.asc"), "new\r\n");
    ASSERT_TRUE(write_all("f.asc", "a", "more\n"));
    EXPECT_EQ(get("f.asc"), "new\r\nmore\r\n");
    ASSERT_TRUE(write_all("g.asc", "a", "first\n"));  // "a" creates
    EXPECT_EQ(get("g.asc"), "first\r\n");
}

TEST_F(PlatformFiles, RefusedOpens) {
    fs::create_directory(dir / "folder");
    put("f.asc", "x");
    EXPECT_EQ(open_file("missing.asc", "rt"), nullptr);
    EXPECT_EQ(open_file("missing.asc", "rb"), nullptr);
    EXPECT_EQ(open_file("folder", "rt"), nullptr);
    EXPECT_EQ(open_file("folder", "wt"), nullptr);
    EXPECT_EQ(open_file("nofolder/f.asc", "wt"), nullptr);
    for (const char* mode : {"r+", "w+", "x", "", "rbt", "rw"}) {
        EXPECT_EQ(open_file("f.asc", mode), nullptr) << mode;
    }
    EXPECT_EQ(open_file("", "rt"), nullptr);
    EXPECT_EQ(get("f.asc"), "x");  // a refused "w+" did not truncate
}

// ---- read_line ----------------------------------------------------------------

struct LineCase {
    friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    std::string stored;
    std::size_t max_chars;
    // Each read's result, and whether the end-of-file mark is set after it.
    std::vector<std::pair<std::string, bool>> reads;
};

class ReadLine : public PlatformScratch, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ReadLine, ReadsLikeFgets) {
    const LineCase& c = GetParam();
    put("lines.asc", c.stored);
    File* f = open_file("lines.asc", "rt");
    ASSERT_NE(f, nullptr);
    std::vector<char> buf(c.max_chars + 1, '#');
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
        const std::size_t n = read_line(f, buf.data(), c.max_chars);
        EXPECT_EQ(std::string(buf.data(), n), c.reads[i].first) << "read " << i;
        EXPECT_EQ(buf[n], '\0') << "read " << i;
        EXPECT_EQ(at_end(f), c.reads[i].second) << "read " << i;
    }
    EXPECT_TRUE(close_file(f));
}

const std::string kLong(10000, 'L');

INSTANTIATE_TEST_SUITE_P(
    Platform, ReadLine,
    ::testing::Values(
        LineCase{"LastLineWithoutLf", "one\r\ntwo", 4095, {{"one\n", false}, {"two", true}, {"", true}}},
        LineCase{"LastLineWithLf", "one\r\n", 4095, {{"one\n", false}, {"", true}}},
        LineCase{"EmptyFile", "", 4095, {{"", true}, {"", true}}},
        LineCase{"EmptyLines", "\r\n\r\n", 4095, {{"\n", false}, {"\n", false}, {"", true}}},
        LineCase{"LongLineInPieces",
                 kLong + "\r\nnext\r\n",
                 4095,
                 {{kLong.substr(0, 4095), false},
                  {kLong.substr(0, 4095), false},
                  {kLong.substr(0, 10000 - 8190) + "\n", false},
                  {"next\n", false},
                  {"", true}}},
        // A piece that fills the buffer exactly does not look past it.
        LineCase{"ExactFit", "abc", 3, {{"abc", false}, {"", true}}},
        LineCase{"NoRoom", "abc", 0, {{"", false}}},
        LineCase{"EndMarkByte", "a\r\nb\x1a" "c\r\n", 4095, {{"a\n", false}, {"b", true}}}),
    [](const auto& p) { return std::string(p.param.name); });

// A file of many lines read line by line: every line, in order, across all
// buffer refills.
TEST_F(PlatformFiles, ManyLines) {
    std::string stored;
    for (int i = 0; i < 100000; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "%06d\r\n", i);
        stored += line;
    }
    put("many.asc", stored);
    File* f = open_file("many.asc", "rt");
    ASSERT_NE(f, nullptr);
    char buf[4096];
    int count = 0;
    std::size_t n;
    while ((n = read_line(f, buf, sizeof buf - 1)) > 0) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "%06d\n", count);
        ASSERT_STREQ(buf, expected);
        ++count;
    }
    EXPECT_EQ(count, 100000);
    EXPECT_TRUE(at_end(f));
    EXPECT_TRUE(close_file(f));
}

// ---- Names that differ only in letter case -------------------------------------

TEST_F(PlatformFiles, ExistingFileFoundWhateverTheCase) {
    put("ORDENES.ERR", "x\r\n");
    EXPECT_TRUE(file_exists("ordenes.err"));
    EXPECT_TRUE(file_exists("Ordenes.Err"));
    EXPECT_EQ(read_all("ordenes.err", "rb"), "x\r\n");

    char resolved[64];
    resolve_name("ordenes.err", resolved, sizeof resolved);
    EXPECT_STREQ(resolved, "ORDENES.ERR");

    ASSERT_TRUE(append_whole("ordenes.err", "y\r\n", 3));
    ASSERT_TRUE(write_all("Ordenes.ERR", "a", "z\n"));
    EXPECT_EQ(names(), std::set<std::string>{"ORDENES.ERR"});
    EXPECT_EQ(get("ORDENES.ERR"), "x\r\ny\r\nz\r\n");
}

TEST_F(PlatformFiles, NewFileCreatedAsNamed) {
    put("OTHER.ASC", "");
    EXPECT_FALSE(file_exists("qklotw.asc"));
    ASSERT_TRUE(write_all("qklotw.asc", "wt", "r\n"));
    EXPECT_EQ(names(), (std::set<std::string>{"OTHER.ASC", "qklotw.asc"}));
    EXPECT_TRUE(file_exists("QKLOTW.ASC"));
}

TEST_F(PlatformFiles, FoldersResolvedPartByPart) {
    fs::create_directories(dir / "DATA" / "Sub");
    put("DATA/Sub/QKLOTW.ASC", "deep");
    EXPECT_EQ(read_all("data/sub/qklotw.asc", "rb"), "deep");
    char resolved[64];
    resolve_name("data/SUB/new.asc", resolved, sizeof resolved);
    EXPECT_STREQ(resolved, "DATA/Sub/new.asc");
    resolve_name("nothing/here.asc", resolved, sizeof resolved);
    EXPECT_STREQ(resolved, "nothing/here.asc");
    const std::string absolute = (dir / "data" / "sub" / "qklotw.asc").string();
    EXPECT_EQ(read_all(absolute.c_str(), "rb"), "deep");
}

TEST_F(PlatformFiles, SeveralCandidatesPickTheLowestName) {
    put("abc.asc", "lower");
    put("ABC.asc", "upper");
    char resolved[64];
    resolve_name("Abc.asc", resolved, sizeof resolved);
    EXPECT_STREQ(resolved, "ABC.asc");
    resolve_name("abc.asc", resolved, sizeof resolved);  // exact name first
    EXPECT_STREQ(resolved, "abc.asc");
}

TEST_F(PlatformFiles, ResolvedNameCutToTheBuffer) {
    char resolved[8];
    std::memset(resolved, '#', sizeof resolved);
    resolve_name("a-long-file-name.asc", resolved, 5);
    EXPECT_STREQ(resolved, "a-lo");
    EXPECT_EQ(resolved[5], '#');
}

// ---- One-write appends ---------------------------------------------------------

TEST_F(PlatformFiles, AppendWholeStoresRawBytes) {
    ASSERT_TRUE(append_whole("log.err", "a\n", 2));
    ASSERT_TRUE(append_whole("log.err", "b\r\n", 3));
    ASSERT_TRUE(append_whole("log.err", "", 0));
    EXPECT_EQ(get("log.err"), "a\nb\r\n");
    ASSERT_TRUE(append_whole("empty.err", "", 0));  // created even with nothing to write
    EXPECT_TRUE(fs::exists(dir / "empty.err"));
    EXPECT_FALSE(append_whole("nofolder/log.err", "a", 1));
}

// Processes appending side by side never tear each other's lines.
TEST_F(PlatformFiles, AppendWholeLinesNeverTear) {
    constexpr int kWriters = 4;
    constexpr int kLines = 400;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const std::string line = std::string(300, static_cast<char>('A' + w)) + "\r\n";
            for (int i = 0; i < kLines; ++i) append_whole("shared.err", line.data(), line.size());
            _exit(0);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string all = get("shared.err");
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kWriters * kLines * 302));
    int per_writer[kWriters] = {};
    for (std::size_t at = 0; at < all.size(); at += 302) {
        const char c = all[at];
        ASSERT_TRUE(c >= 'A' && c < 'A' + kWriters) << at;
        ASSERT_EQ(all.substr(at, 302), std::string(300, c) + "\r\n") << at;
        ++per_writer[c - 'A'];
    }
    for (int count : per_writer) EXPECT_EQ(count, kLines);
}

// ---- Atomic creation -----------------------------------------------------------

TEST_F(PlatformFiles, CreateAtomicallyWhenAbsent) {
    const std::string text = "[GATEWAY]\r\nA=1\r\n";
    EXPECT_EQ(create_file_atomically("PARGAT.INI", text.data(), text.size()), 0);
    EXPECT_EQ(get("PARGAT.INI"), text);  // raw bytes, no second translation
    EXPECT_EQ(names(), std::set<std::string>{"PARGAT.INI"});  // no temporary left
}

TEST_F(PlatformFiles, CreateAtomicallyLeavesAnExistingFile) {
    put("PARGAT.INI", "theirs");
    EXPECT_EQ(create_file_atomically("PARGAT.INI", "mine", 4), 0);
    EXPECT_EQ(create_file_atomically("pargat.ini", "mine", 4), 0);
    EXPECT_EQ(get("PARGAT.INI"), "theirs");
    EXPECT_EQ(names(), std::set<std::string>{"PARGAT.INI"});
}

TEST_F(PlatformFiles, CreateAtomicallyInAMissingFolder) {
    EXPECT_EQ(create_file_atomically("nofolder/PARGAT.INI", "x", 1), 55);
    EXPECT_TRUE(names().empty());
}

// ---- Clock and executable ------------------------------------------------------

TEST(Platform, LocalTimeIsNow) {
    const std::time_t before = std::time(nullptr);
    const LocalTime t = local_time();
    const std::time_t after = std::time(nullptr);
    std::tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    parts.tm_isdst = -1;
    const std::time_t back = std::mktime(&parts);
    EXPECT_GE(back, before);
    EXPECT_LE(back, after);
    EXPECT_GE(t.millisecond, 0);
    EXPECT_LE(t.millisecond, 999);
}

TEST(Platform, ExecutableDirHoldsTheRunningProgram) {
    char buf[4096];
    executable_dir(buf, sizeof buf);
    const std::string d = buf;
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(d.back(), '/');
    EXPECT_TRUE(fs::exists(d + "qk_unit_tests"));
    char small[4];
    executable_dir(small, sizeof small);
    EXPECT_EQ(std::strlen(small), 3u);
}

}  // namespace
}  // namespace platform_test
