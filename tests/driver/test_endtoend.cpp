// telma then korval in one directory with their default names: a coloured picture.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

TEST(EndToEnd, SolvedCubeGivesAColouredPicture) {
    // Several checkouts may run their tests at once on one machine.
    const fs::path dir = fs::temp_directory_path() / ("telma_korval_e2e_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(EXAMPLES_DIR) / "cube.in", dir / "TELMA.IN");
    const std::string cd = "cd '" + dir.string() + "' && ";
    // Empty answers take the default names.
    int rc = std::system((cd + "printf '\\n\\n' | '" TELMA_EXE "' > telma.log 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0);
    rc = std::system((cd + "'" KORVAL_EXE "' /p < /dev/null > korval.log 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0);
    std::ifstream ps(dir / "KORV.PS");
    std::stringstream s;
    s << ps.rdbuf();
    const std::string pic = s.str();
    // Bottom face at potential 0 is pure blue, the top at 1 pure red.
    EXPECT_NE(pic.find(" C   .000  .000 1.000 K"), std::string::npos);
    EXPECT_NE(pic.find(" C  1.000  .000  .000 K"), std::string::npos);
    if (std::system("command -v gs > /dev/null 2>&1") == 0) {
        rc = std::system((cd + "gs -q -dSAFER -dBATCH -dNOPAUSE -dLastPage=1 -sDEVICE=png16m -r40 "
                               "-sOutputFile=k.png KORV.PS > gs.log 2>&1").c_str());
        EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0);
    } else {
        EXPECT_EQ(std::getenv("CI"), nullptr) << "Ghostscript is required under CI";
    }
    fs::remove_all(dir);
}
