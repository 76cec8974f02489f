// Command line of telma-mesh: help, option errors, what the options build,
// and the file written.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tools/cli.hpp"

using namespace tmesh;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int st = runTool(args, out, err);
    return {st, out.str(), err.str()};
}

}  // namespace

TEST(Cli, HelpExplainsEveryOption) {
    const Outcome r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* opt : {"box", "sphere", "gmsh", "--min", "--max", "--div", "--face", "--exterior", "--radius",
                            "--centre", "--level", "--bc", "--interior", "--group", "--rest", "--scale", "--orient",
                            "--flip", "-o, --output", "--title", "--sym", "--split", "--point", "--line", "--grid",
                            "u=V", "q=V", "group=K", "div=NAxNB", "Example"})
        EXPECT_NE(r.out.find(opt), std::string::npos) << opt;
}

TEST(Cli, BadCommandLinesFailWithAClearMessage) {
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{}, "box, sphere or gmsh"},
        {{"cylinder"}, "unknown shape \"cylinder\""},
        {{"box", "--colour", "red"}, "unknown option \"--colour\" for box"},
        {{"box", "--max", "1,2,a"}, "expected a number, found \"a\""},
        {{"box", "--face", "top", "u=1"}, "unknown face \"top\""},
        {{"box", "--face", "zmin", "group=1"}, "needs u=V or q=V"},
        {{"box", "--face", "zmin", "q=1,group=2"}, "needs a prescribed potential"},
        {{"box", "--face", "zmin", "u=1,group=4601"}, "1 to 4600"},
        {{"sphere", "--level", "+-1"}, "expected an integer, found \"+-1\""},
        {{"sphere", "--radius", "1e999"}, "expected a number, found \"1e999\""},
        {{"sphere", "--sym", "x=even", "--sym", "-x=odd"}, "given twice"},
        {{"sphere", "--grid", "0,0,2", "1,1,3", "2,2"}, "NX,NY,NZ"},
        {{"sphere", "--point", "0,0,2", "--title", " RESULTS"}, "mislead the viewer"},
        {{"gmsh", "--group", "a", "u=1"}, "before the options"},
        {{"gmsh", "no-such-file.msh", "--rest", "u=1"}, "no-such-file.msh"},
        {{"box", "--sym", "-x=even"}, "no element is left"},
        {{"box", "-o", "no-such-dir/x.in"}, "telma-mesh: no-such-dir/x.in"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_EQ(r.err.rfind("telma-mesh: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.says << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << c.says;
    }
}

TEST(Cli, OptionsReachTheBuildersAndTheFile) {
    std::string o;
    const Mesh m = buildFromArgs({"box", "--min", "-1,0,0", "--max", "+1,2,1", "--div", "2,4,1", "--face", "xmax",
                                  "u=2.5,group=3,div=2x2", "--sym", "x=odd", "--grid", "0.1,0.1,0.1", "0.9,1.9,0.9",
                                  "2,3,4", "--point", "0.5,1,0.5", "--title", "t"},
                                 o);
    EXPECT_EQ(m.title, "t");
    EXPECT_EQ(m.isym, (std::array<int, 3>{-1, 0, 0}));
    EXPECT_EQ(m.ip.size(), 2u * 3 * 4 + 1);
    EXPECT_EQ(m.el.size(), 4u + 4 + 1 + 1 + 4);  // zmin, zmax 1 x 4 on the kept half; ymin, ymax 1 x 1; xmax 2 x 2
    EXPECT_EQ(std::count_if(m.el.begin(), m.el.end(), [](const Element& e) { return e.bc.kode == -3 && e.bc.vbc == 2.5; }), 4);
    const Mesh s = buildFromArgs({"sphere", "--level", "1", "--interior", "--bc", "q=-1", "--sym", "-z=even"}, o);
    for (const Element& e : s.el) EXPECT_TRUE(e.bc.kode == 1 && e.bc.vbc == -1.0 && e.x[0][2] <= 0.0);
    EXPECT_EQ(buildFromArgs({"sphere", "--level", "0"}, o).title, "telma-mesh sphere --level 0");
    // written, and said what; a refused mesh leaves the file as it was
    const std::string path = (std::filesystem::current_path() / "cli_box.in").string();
    Outcome r = run({"box", "--div", "2", "-o", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("24 elements (0 triangles, 24 quadrilaterals), 0 internal points"), std::string::npos) << r.out;
    const auto size = std::filesystem::file_size(path);
    EXPECT_EQ(run({"box", "--title", " RESULTS", "-o", path}).status, 1);
    EXPECT_EQ(std::filesystem::file_size(path), size);
    r = run({"sphere", "--level", "0", "-o", "-"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "telma-mesh sphere --level 0 -o -");
}
