// qkrun's reading of the error log: which lines belong to the tool that ran,
// their code, time and text, and the text conversions of its JSON report.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "runlog.h"

namespace {

using qkrun::LogForm;

struct LineCase {
    const char* what;
    LogForm form;
    const char* tool;
    std::string line;
    bool kept;
    std::optional<int> code;
    std::string time;  // ISO form of the line's time
    std::string text;
};

const LineCase kLines[] = {
    {"current form", LogForm::current, "QKLOTR", "QKLOTR|20/7/2004|13:14:27,045|Error: 48|Can\xB4t open file function\r\n",
     true, 48, "2004-07-20T13:14:27.045", "Can\xB4t open file function"},
    {"negative code", LogForm::current, "QKLOTR",
     "QKLOTR|1/2/2026|09:05:03,007|Error: -1|Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)\r\n", true, -1,
     "2026-02-01T09:05:03.007", "Dll error: Socket error.Unable to send (SOCKET_ERROR, -1)"},
    {"three-digit code, LF only", LogForm::current, "QKLOTR", "QKLOTR|31/12/2025|23:59:59,999|Error: 123|Number Error: 123\n",
     true, 123, "2025-12-31T23:59:59.999", "Number Error: 123"},
    {"name ignores case", LogForm::current, "qklotr", "QKLOTR|1/1/2025|00:00:00,000|Error: 05|Number Error: 05\r\n", true,
     5, "2025-01-01T00:00:00.000", "Number Error: 05"},
    {"text holding bars", LogForm::current, "QKLOTR", "QKLOTR|1/1/2025|00:00:00,000|Error: 05|a|b\r\n", true, 5,
     "2025-01-01T00:00:00.000", "a|b"},
    {"another tool", LogForm::current, "QKLOTR", "QKLOTW|1/1/2025|00:00:00,000|Error: 05|Number Error: 05\r\n", false, std::nullopt, "", ""},
    {"a name that only starts alike", LogForm::current, "QKLOT",
     "QKLOTR|1/1/2025|00:00:00,000|Error: 05|Number Error: 05\r\n", false, std::nullopt, "", ""},
    {"modem line for a current tool", LogForm::current, "QKLOTR",
     "|QINIMODEM|1/1/2025|00:00:00,000|Number Error: 03\r\n", false, std::nullopt, "", ""},
    {"no code field", LogForm::current, "QKLOTR", "QKLOTR|1/1/2025|00:00:00,000|Number Error: 05\r\n", false, std::nullopt, "", ""},
    {"code beyond 32 bits", LogForm::current, "QKLOTR", "QKLOTR|1/1/2025|00:00:00,000|Error: 99999999999|x\r\n", false, std::nullopt, "", ""},
    {"month 13", LogForm::current, "QKLOTR", "QKLOTR|1/13/2025|00:00:00,000|Error: 05|x\r\n", false, std::nullopt, "", ""},
    {"two-digit year", LogForm::current, "QKLOTR", "QKLOTR|1/1/25|00:00:00,000|Error: 05|x\r\n", false, std::nullopt, "", ""},
    {"short milliseconds", LogForm::current, "QKLOTR", "QKLOTR|1/1/2025|00:00:00,00|Error: 05|x\r\n", false, std::nullopt, "", ""},
    {"empty line", LogForm::current, "QKLOTR", "\r\n", false, std::nullopt, "", ""},

    {"modem table A", LogForm::modem, "QKINIMODEM", "|QINIMODEM|20/7/2004|13:14:27,045|Can\xB4t open file function\r\n",
     true, 48, "2004-07-20T13:14:27.045", "Can\xB4t open file function"},
    {"modem generic", LogForm::modem, "QKINIMODEM", "|QINIMODEM|3/11/2025|08:00:01,002|Number Error: 03\r\n", true, 3,
     "2025-11-03T08:00:01.002", "Number Error: 03"},
    {"modem generic -1", LogForm::modem, "QKINIMODEM", "|QINIMODEM|3/11/2025|08:00:01,002|Number Error: -1\r\n", true,
     -1, "2025-11-03T08:00:01.002", "Number Error: -1"},
    {"modem unknown text", LogForm::modem, "QKINIMODEM", "|QINIMODEM|3/11/2025|08:00:01,002|something else\r\n", true,
     std::nullopt, "2025-11-03T08:00:01.002", "something else"},
    {"modem same text as pass, English table", LogForm::modem, "QKINIMODEM",
     "|QINIMODEM|3/11/2025|08:00:01,002|Error 4. Close User\r\n", true, 27, "2025-11-03T08:00:01.002",
     "Error 4. Close User"},
    {"pass line for modem", LogForm::modem, "QKINIMODEM", "|3/11/2025|08:00:01,002|Puerto no Cerrado\r\n", false, std::nullopt, "", ""},
    {"current line for modem", LogForm::modem, "QKINIMODEM",
     "QKINIMODEM|3/11/2025|08:00:01,002|Error: 03|Number Error: 03\r\n", false, std::nullopt, "", ""},

    {"pass table B", LogForm::pass, "QKPASS", "|20/7/2004|13:14:27,045|Puerto no Cerrado\r\n", true, 46,
     "2004-07-20T13:14:27.045", "Puerto no Cerrado"},
    {"pass text with 0xF3", LogForm::pass, "QKPASS", "|20/7/2004|13:14:27,045|No puede cargar la funci\xF3n\r\n", true, 44,
     "2004-07-20T13:14:27.045", "No puede cargar la funci\xF3n"},
    {"pass generic", LogForm::pass, "QKPASS", "|20/7/2004|13:14:27,045|Numero de error: 08\r\n", true, 8,
     "2004-07-20T13:14:27.045", "Numero de error: 08"},
    {"pass English generic is not its own", LogForm::pass, "QKPASS", "|20/7/2004|13:14:27,045|Number Error: 08\r\n", true,
     std::nullopt, "2004-07-20T13:14:27.045", "Number Error: 08"},
    {"generic with trailing bytes", LogForm::pass, "QKPASS", "|20/7/2004|13:14:27,045|Numero de error: 08x\r\n", true,
     std::nullopt, "2004-07-20T13:14:27.045", "Numero de error: 08x"},
    {"modem line for pass", LogForm::pass, "QKPASS", "|QINIMODEM|20/7/2004|13:14:27,045|Number Error: 03\r\n", false, std::nullopt, "", ""},
    {"current line for pass", LogForm::pass, "QKPASS", "QKLOTR|20/7/2004|13:14:27,045|Error: 03|Number Error: 03\r\n",
     false, std::nullopt, "", ""},
};

TEST(QkrunLogLine, TableOfLines) {
    for (const LineCase& c : kLines) {
        SCOPED_TRACE(c.what);
        const auto e = qkrun::parse_line(c.line, c.form, c.tool);
        ASSERT_EQ(e.has_value(), c.kept);
        if (!e) continue;
        EXPECT_EQ(e->code, c.code);
        EXPECT_EQ(qkrun::iso_time(e->time), c.time);
        EXPECT_EQ(e->text, c.text);
        EXPECT_EQ(e->line, c.line);
    }
}

TEST(QkrunLogLine, FormAndLogNameOfATool) {
    EXPECT_EQ(qkrun::form_of("QKINIMODEM"), LogForm::modem);
    EXPECT_EQ(qkrun::form_of("/opt/qk/bin/qkinimodem"), LogForm::modem);
    EXPECT_EQ(qkrun::form_of("C:\\QK\\QKPASS.EXE"), LogForm::pass);
    EXPECT_EQ(qkrun::form_of("QKPASSX"), LogForm::current);
    EXPECT_EQ(qkrun::form_of("QKLOTR"), LogForm::current);
    EXPECT_EQ(qkrun::base_name("..\\bin\\QKLOTR.exe"), "QKLOTR");
    EXPECT_EQ(qkrun::base_name("./QKLOTR"), "QKLOTR");
    EXPECT_EQ(qkrun::base_name(".exe"), ".exe");
    EXPECT_STREQ(qkrun::log_name(LogForm::current), "ordenes.err");
    EXPECT_STREQ(qkrun::log_name(LogForm::pass), "ORDENES.ERR");
}

TEST(QkrunLogLine, EveryTableTextGivesItsCodeBack) {
    const std::pair<int, const char*> modem[] = {{27, "Error 4. Close User"}, {41, "File ORDERNES.SCR.scr not exist"},
                                                 {49, "Can\xB4t free dll"}, {53, "the entry could not be added"}};
    for (const auto& [code, text] : modem) EXPECT_EQ(qkrun::code_from_text(LogForm::modem, text), code) << text;
    const std::pair<int, const char*> pass[] = {{27, "Error 4. Cancelado por el usuario"},
                                                {37, "Destino no es correcto"},
                                                {39, "Inicio Registro o Final Registro no correcto"},
                                                {45, "No encuentra el fichero pargat.ini"},
                                                {49, "No puede liberar la dll"}};
    for (const auto& [code, text] : pass) EXPECT_EQ(qkrun::code_from_text(LogForm::pass, text), code) << text;
    EXPECT_EQ(qkrun::code_from_text(LogForm::current, "Number Error: 05"), std::nullopt);
    EXPECT_EQ(qkrun::code_from_text(LogForm::modem, ""), std::nullopt);
    EXPECT_EQ(qkrun::code_from_text(LogForm::modem, "Number Error: "), std::nullopt);
    EXPECT_EQ(qkrun::code_from_text(LogForm::modem, "Number Error: 123"), 123);
}

// Lines of other tools interleave; a line cut at either end is not taken.
TEST(QkrunLogLine, SelectsWholeLinesOfTheToolOnly) {
    const std::string appended =
        "05|tail of a line begun before the run\r\n"
        "QKLOTR|1/1/2025|10:00:00,001|Error: 08|Dll error: not valid register (ERROR_CMD_NACK, 8)\r\n"
        "QKLOTW|1/1/2025|10:00:00,002|Error: 21|Dll error: not valid destination (ERROR_DEST_NOVALID, 21)\r\n"
        "|QINIMODEM|1/1/2025|10:00:00,003|Number Error: 03\r\n"
        "|1/1/2025|10:00:00,004|Puerto no Cerrado\r\n"
        "QKLOTR|1/1/2025|10:00:00,005|Error: 27|Application closed by the user\r\n"
        "QKLOTR|1/1/2025|10:00:00,006|Error: 47|Unable to clo";
    auto lotr = qkrun::select_lines(appended, false, LogForm::current, "QKLOTR");
    ASSERT_EQ(lotr.size(), 2u);
    EXPECT_EQ(lotr[0].code, 8);
    EXPECT_EQ(lotr[1].code, 27);
    EXPECT_EQ(lotr[1].line, "QKLOTR|1/1/2025|10:00:00,005|Error: 27|Application closed by the user\r\n");
    auto lotw = qkrun::select_lines(appended, false, LogForm::current, "QKLOTW");
    ASSERT_EQ(lotw.size(), 1u);
    EXPECT_EQ(lotw[0].code, 21);
    auto modem = qkrun::select_lines(appended, false, LogForm::modem, "QKINIMODEM");
    ASSERT_EQ(modem.size(), 1u);
    EXPECT_EQ(modem[0].code, 3);
    auto pass = qkrun::select_lines(appended, false, LogForm::pass, "QKPASS");
    ASSERT_EQ(pass.size(), 1u);
    EXPECT_EQ(pass[0].code, 46);

    // At a line start, the first line counts.
    const std::string from_start = "|1/1/2025|10:00:00,004|Numero de error: 03\r\n";
    EXPECT_EQ(qkrun::select_lines(from_start, true, LogForm::pass, "QKPASS").size(), 1u);
    EXPECT_EQ(qkrun::select_lines(from_start, false, LogForm::pass, "QKPASS").size(), 0u);
    EXPECT_EQ(qkrun::select_lines("", true, LogForm::pass, "QKPASS").size(), 0u);
}

TEST(QkrunText, Windows1252ToUtf8) {
    EXPECT_EQ(qkrun::cp1252_to_utf8("Can\xB4t"), "Can\u00B4t");
    EXPECT_EQ(qkrun::cp1252_to_utf8("funci\xF3n"), "funci\u00F3n");
    EXPECT_EQ(qkrun::cp1252_to_utf8("plain ASCII"), "plain ASCII");
    // The 0x80..0x9F block of the code page, the five undefined bytes kept as
    // the control characters of the same number.
    std::string block;
    for (int b = 0x80; b <= 0x9F; ++b) block += static_cast<char>(b);
    EXPECT_EQ(qkrun::cp1252_to_utf8(block),
              "\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
              "\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178");
    EXPECT_EQ(qkrun::cp1252_to_utf8("\xA0\xFF"), "\u00A0\u00FF");
    EXPECT_EQ(qkrun::cp1252_to_utf8(std::string("a\0b", 3)), std::string("a\0b", 3));

    EXPECT_EQ(qkrun::text_as_utf8("LOTS.ASC"), "LOTS.ASC");
    EXPECT_EQ(qkrun::text_as_utf8("\xC3\xB3"), "\xC3\xB3");            // already UTF-8
    EXPECT_EQ(qkrun::text_as_utf8("\xF3"), "\xC3\xB3");                // a lone 0xF3
    EXPECT_EQ(qkrun::text_as_utf8("\xC0\x80"), "\xC3\x80\xE2\x82\xAC");  // overlong: not UTF-8
    EXPECT_EQ(qkrun::text_as_utf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // surrogate
}

TEST(QkrunText, JsonStrings) {
    EXPECT_EQ(qkrun::json_string(""), "\"\"");
    EXPECT_EQ(qkrun::json_string("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(qkrun::json_string("\r\n\t\x01\x7F"), "\"\\r\\n\\t\\u0001\\u007f\"");
    EXPECT_EQ(qkrun::json_string("\u00B4\u0081\u20AC"), "\"\u00B4\\u0081\u20AC\"");
}

}  // namespace
