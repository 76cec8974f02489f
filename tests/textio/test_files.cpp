// File names resolved without regard to letter case.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "textio/textio.hpp"

namespace fs = std::filesystem;

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("textio_files_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& n) const { return (dir / n).string(); }
    fs::path dir;
};

TEST_F(Files, ReadingFindsAnyCase) {
    std::ofstream(path("telma.in")) << "data\n";
    std::ifstream in = textio::openOld(path("TELMA.IN"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "data");
    EXPECT_THROW(textio::openOld(path("MISSING.IN")), textio::IoError);
}

TEST_F(Files, CreatingReplacesAnExistingMatch) {
    std::ofstream(path("telma.out")) << "old old old\n";
    {
        std::ofstream out = textio::openUnknown(path("TELMA.OUT"));
        out << "new\n";
    }
    std::ifstream in(path("telma.out"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "new");
    int count = 0;
    for (auto& e : fs::directory_iterator(dir)) count += e.is_regular_file();
    EXPECT_EQ(count, 1);
}

TEST_F(Files, CreatingANewNameUsesItAsGiven) {
    { std::ofstream out = textio::openUnknown(path("KORV.PS")); }
    EXPECT_TRUE(fs::exists(dir / "KORV.PS"));
}

TEST_F(Files, ExactMatchWins) {
    std::ofstream(path("a.txt")) << "lower\n";
    std::ofstream(path("A.TXT")) << "upper\n";
    EXPECT_EQ(textio::resolveExisting(path("A.TXT")), path("A.TXT"));
    EXPECT_EQ(textio::resolveExisting(path("a.TXT")), path("A.TXT"));  // first in name order
}
