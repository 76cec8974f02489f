// Formatted output, free-form reading, and file names found without regard to case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <chrono>

#include "textio/textio.hpp"

using textio::editE;
using textio::editF;
using textio::format;

TEST(Format, DescriptorsAndFields) {
    const struct { std::string got, want; } cases[] = {
        {format("(1X,I4,9X,I3,8X,1P,E14.5)", {7, -1, 0.0125}), "    7          -1           1.25000E-02\n"},
        {format("(I3,I3,I3,f8.3,1P,E8.5)", {1000, -100, -99, 123456.0, 1.0}), "******-99****************\n"},
        {format("(/,/,' DATA',/,/,2X,'N =',I4,/)", {1}), "\n\n DATA\n\n  N =   1\n\n"},
        {format("(2f10.3,' L'\\)", {1.5, -2.25}), "     1.500    -2.250 L"},
        {format("(' N',2f10.3,' M',f4.1)", {1.0, 2.0}), " N     1.000     2.000 M\n"},
        {format("('a\\b',a1,'it''s')", {"xyz"}), "a\\bxit's\n"},
        {format("(2I3)", {1, 2, 3}), "  1  2\n  3\n"},
        {format("(' solmin, solmax :',1p2e15.6)", {-1.5, 2.0}), " solmin, solmax :  -1.500000E+00   2.000000E+00\n"},
        {editF(0.5, 6, 3) + editF(-0.5, 6, 3) + editF(-0.0, 6, 3) + editF(-0.0004, 6, 3), "  .500 -.500  .000 -.000"},
        {editF(0.9996, 6, 3) + editF(0.125, 5, 2) + editF(0.375, 5, 2) + editF(2.5, 3, 0), " 1.000  .12  .38 2."},
        {editE(1.125, 10, 2, 1) + editE(1.25e-100, 14, 5, 1), "  1.12E+00   1.25000-100"},
        {editE(-9.99999e+299, 14, 5, 1) + editE(-0.0, 14, 5, 1), "  -9.99999+299   0.00000E+00"},
        {editE(0.0125, 14, 5, 0) + editE(NAN, 14, 5, 1) + editF(-INFINITY, 8, 3), "   0.12500E-01           NaN    -Inf"},
        // the widest fields held are written in full
        {format("(E80.70)", {1.0}), std::string(4, ' ') + "0.1" + std::string(69, '0') + "E+01\n"},
        {format("(I9999)", {7}), std::string(9998, ' ') + "7\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
    for (const char* bad : {"(I4", "(Q4)", "(I9999999999)", "(99999(' '))"}) EXPECT_THROW(format(bad, {1}), std::logic_error) << bad;
    EXPECT_THROW(format("(I4)", {1.5}), std::logic_error);
}

TEST(FreeRead, ValuesRepeatsNullsSlashesAndErrors) {
    // The statements of `text`, each of counts[k] reals (unread stay 9), or the reader's error.
    auto statements = [](const std::string& text, std::initializer_list<int> counts) {
        std::istringstream in(text);
        textio::Reader r(in, "T.IN");
        std::string got;
        try {
            for (int n : counts) {
                r.begin();
                for (int k = 0; k < n; ++k) { double v = 9; r.read(v, "x of corner 1"); got += textio::editF(v, 6, 1); }
                r.end();
                got += ";";
            }
        } catch (const textio::IoError& e) { got += e.what(); }
        return got;
    };
    const struct { const char* text; std::initializer_list<int> counts; const char* want; } cases[] = {
        {"12 0\n1 0 5\nnext\n", {5}, "  12.0    .0   1.0    .0   5.0;"},
        {"4 1.0 2.0 comment\n7\n", {1, 1}, "   4.0;   7.0;"},
        {"1.5 ,2,\r\n\r\n   \n 3e0 , 4d1\r\n", {4}, "   1.5   2.0   3.0  40.0;"},
        {"3*0.5 2*\n1,,2\n", {5, 3}, "    .5    .5    .5   9.0   9.0;   1.0   9.0   2.0;"},
        {"9 /\n", {3}, "   9.0   9.0   9.0;"},
        {"1 2\n", {3}, "   1.0   2.0T.IN:1: unexpected end of file, expected a real (x of corner 1)"},
        {"1 x\n", {2}, "   1.0T.IN:1: expected a real (x of corner 1), found \"x\""},
        {"0*1\n", {1}, "T.IN:1: bad repeat count in \"0*1\", expected a real (x of corner 1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(statements(c.text, c.counts), c.want) << c.text;
}

TEST(FreeRead, NumberSyntax) {
    const struct { const char* text; double value; } reals[] = {
        {"1.25D-3", 1.25e-3}, {"1.25000-100", 1.25e-100}, {"-2.5+101", -2.5e101}, {".5", 0.5}, {"7", 7}};
    double v = 0;
    for (const auto& c : reals) EXPECT_TRUE(textio::parseReal(c.text, v) && v == c.value) << c.text;
    for (const char* bad : {"", ".", "e5", "1e", "1.2.3", "1-", "1e5x", "--1"}) EXPECT_FALSE(textio::parseReal(bad, v)) << bad;
    int i = 0;
    EXPECT_TRUE(textio::parseInt("-2147483648", i));
    for (const char* bad : {"4.5", "4.", "1e3", "+", "x1", "2147483648"}) EXPECT_FALSE(textio::parseInt(bad, i)) << bad;
}

TEST(Files, NamesMatchWithoutRegardToCase) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("textio_files_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto at = [&](const char* n) { return (dir / n).string(); };
    std::ofstream(at("telma.in")) << "data\n";
    std::string line, again;
    std::getline(textio::openOld(at("TELMA.IN")), line);
    {
        textio::OutFile out = textio::openUnknown(at("TELMA.IN"));
        out << "new\n";
        out.commit();  // replaces the match
    }
    std::getline(std::ifstream(at("telma.in")), again);
    EXPECT_EQ(line + again, "datanew");
    EXPECT_THROW(textio::openOld(at("MISSING.IN")), textio::IoError);
    std::ofstream(at("TELMA.in")) << "upper\n";
    EXPECT_EQ(textio::resolveExisting(at("TELMA.in")), at("TELMA.in"));  // an exact match wins
    EXPECT_EQ(textio::resolveExisting(at("Telma.IN")), at("TELMA.in"));  // else the first in name order
    fs::remove_all(dir);
}

// An output takes its name's place only when committed: until then, and when
// dropped, the previous file is whole; its reason is given when it fails.
TEST(Files, OutputsArePutInPlaceWhole) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("textio_out_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    auto at = [&](const char* n) { return (dir / n).string(); };
    auto text = [](const std::string& f) {
        std::ifstream in(f);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    std::ofstream(at("old.txt")) << "old\n";
    fs::permissions(at("old.txt"), fs::perms(0640));
    fs::create_symlink("old.txt", at("link.txt"));
    {
        textio::OutFile out(at("OLD.TXT"));
        out << "half";
        out.flush();
        EXPECT_EQ(text(at("old.txt")), "old\n");  // a kill now loses nothing
    }
    EXPECT_EQ(text(at("old.txt")), "old\n");  // dropped
    textio::OutFile viaLink(at("link.txt"));
    viaLink << "new\n";
    viaLink.commit();
    EXPECT_EQ(text(at("old.txt")), "new\n");
    EXPECT_TRUE(fs::is_symlink(at("link.txt")));
    EXPECT_EQ(fs::status(at("old.txt")).permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);  // no temporary left
    const struct { std::string name, message; bool atOpen; } failures[] = {
        {at("sub"), at("sub") + ": is a folder, not a file", true},
        {at("none/x"), at("none/x") + ": cannot create the file for writing (No such file or directory)", true},
        {"/dev/full", "/dev/full: writing the file failed (No space left on device)", false},
    };
    for (const auto& f : failures) {
        try {
            textio::OutFile out(f.name);
            EXPECT_FALSE(f.atOpen) << f.name;
            out << "x";
            out.commit();
            ADD_FAILURE() << f.name;
        } catch (const textio::IoError& e) {
            EXPECT_EQ(e.what(), f.message);
        }
    }
    textio::OutFile null("/dev/null");  // a device is written in place
    null << "x";
    EXPECT_NO_THROW(null.commit());
    EXPECT_TRUE(textio::sameFile(at("a/../old.txt"), at("OLD.txt")));
    EXPECT_TRUE(textio::sameFile(at("new.vtu"), at("./NEW.vtu")));  // neither exists yet
    EXPECT_FALSE(textio::sameFile(at("new.vtu"), at("new_points.vtu")));
    fs::remove_all(dir);
}

// A heartbeat speaks only when the console has been silent for its period.
TEST(Console, HeartbeatFillsSilencesOnly) {
    textio::ConsoleCapture cap;
    {
        const textio::HEARTBEAT beat("the test", 0.4);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // silent: two lines
        for (int k = 0; k < 10; ++k) {                                 // busy: none
            textio::console().write("(' line')");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const std::string text = cap.text();
    const auto first = text.find(" Still busy with the test, time :");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find(" Still busy with the test, time :", first + 1), std::string::npos) << text;
    EXPECT_EQ(text.find(" Still busy", text.find(" line")), std::string::npos) << text;
}
