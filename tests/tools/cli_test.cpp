// Command line of telma-mesh: option errors, what the options build, and the file written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "solver/shapes.hpp"
#include "tools/cli.hpp"

using namespace tmesh;

namespace {

struct Outcome { int status; std::string out, err; };

Outcome run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int st = runTool(args, out, err);
    return {st, out.str(), err.str()};
}

}  // namespace

TEST(Cli, BadCommandLinesFailWithAClearMessage) {
    // status 2: the command line is wrong; 1: what it asks for cannot be made
    const struct { std::vector<std::string> args; const char* says; int status; } cases[] = {
        {{}, "box, sphere or gmsh", 2},
        {{"cylinder"}, "unknown shape \"cylinder\"", 2},
        {{"box", "--colour", "red"}, "unknown option \"--colour\" for box", 2},
        {{"box", "--exterior=yes"}, "--exterior takes no value", 2},
        {{"box", "--face", "zmin"}, "--face needs NAME COND", 2},
        {{"sphere", "--cent", "1,1,1"}, "ambiguous option \"--cent\"", 2},
        {{"sphere", "stray"}, "unknown option \"stray\" for sphere", 2},
        {{"box", "--face", "top", "u=1"}, "unknown face \"top\"", 2},
        {{"box", "--face", "zmin", "group=1"}, "needs u=V or q=V", 2},
        {{"box", "--face", "zmin", "q=1,group=2"}, "needs a prescribed potential", 2},
        {{"box", "--face", "zmin", "u=1,group=4601"}, "1 to 4600", 2},
        {{"sphere", "--level", "+-1"}, "expected an integer, found \"+-1\"", 2},
        {{"sphere", "--level", "9"}, "level must be 0 to 8", 2},
        {{"sphere", "--radius", "1e999"}, "expected a number, found \"1e999\"", 2},
        {{"sphere", "--sym", "x=even", "--sym", "-x=odd"}, "given twice", 2},
        {{"sphere", "--grid", "0,0,2", "1,1,3", "2,2"}, "NX,NY,NZ", 2},
        {{"sphere", "--point", "0,0,2", "--title", " RESULTS"}, "mislead the viewer", 1},
        {{"gmsh"}, "name the mesh or geometry file", 2},
        {{"gmsh", "x.geo", "--size", "-1"}, "must be positive", 2},
        {{"gmsh", "x.geo", "--size", "1", "--size-from-file"}, "give one of them", 2},
        {{"gmsh", "--group", "a", "u=1"}, "before the options", 2},
        {{"gmsh", "no-such-file.msh", "--rest", "u=1"}, "no-such-file.msh", 1},
        {{"box", "--sym", "-x=even"}, "no element is left", 1},
        {{"box", "-o", "no-such-dir/x.in"}, "telma-mesh: no-such-dir/x.in", 1},
        // a script's include is an input; its commands are not run
        {{"gmsh", "cli_inc.geo", "--size", "1", "--rest", "u=1", "-o", "cli_part.geo"}, "cli_part.geo: is the input file", 1},
        {{"gmsh", "cli_exit.geo", "--size", "1", "--rest", "u=1", "-o", "x.in"}, "cli_exit.geo:2: Exit ends the program", 1},
        // counts checked before anything is built
        {{"sphere", "--line", "0,0,0", "1,1,1", "2000000000"}, "2000000000 points make more internal points than", 1},
        {{"box", "--div", "100000"}, "the divisions make 60000000000 elements, more than the 1000000", 1},
    };
    std::ofstream("cli_part.geo") << "Point(1) = {0, 0, 0};\n";
    std::ofstream("cli_inc.geo") << "Include \"cli_part.geo\";\n";
    std::ofstream("cli_exit.geo") << "Point(1) = {0, 0, 0};\nExit;\n";
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_EQ(r.err.rfind("telma-mesh: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.says << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << c.says;
    }
}

TEST(Cli, OptionsReachTheBuildersAndTheFile) {
    std::string o;
    const Mesh m = buildFromArgs({"box", "--min", "-1,0,0", "--max=+1,2,1", "--div", "2,4,1", "--face=xmax",
                                  "u=2.5,group=3,div=2x2", "--sym", "x=odd", "--grid", "0.1,0.1,0.1", "0.9,1.9,0.9",
                                  "2,3,4", "--point", "0.5,1,0.5", "--title", "t"}, o);
    EXPECT_EQ(m.title, "t");
    EXPECT_EQ(m.isym, (std::array<int, 3>{-1, 0, 0}));
    EXPECT_EQ(m.ip.size(), 2u * 3 * 4 + 1);
    EXPECT_EQ(m.el.size(), 4u + 4 + 1 + 1 + 4);  // zmin, zmax 1 x 4 on the kept half; ymin, ymax 1 x 1; xmax 2 x 2
    EXPECT_EQ(std::count_if(m.el.begin(), m.el.end(), [](const Element& e) { return e.bc.kode == -3 && e.bc.vbc == 2.5; }), 4);
    const Mesh s = buildFromArgs({"sphere", "--level=1", "--interior", "--bc", "q=-1", "--sym", "-z=even"}, o);
    for (const Element& e : s.el) EXPECT_TRUE(e.bc.kode == 1 && e.bc.vbc == -1.0 && e.x[0][2] <= 0.0);
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
    EXPECT_EQ(r.err, "");
    // beyond the classic bounds: written, with a note
    r = run({"box", "--div", "28", "-o", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.substr(0, r.err.find('(')), "telma-mesh: note: 4704 elements and 0 internal points are beyond the 4600 and 7000 of "
                                                 "telma's classic solve: solve it with telma --solver=lu ");
    EXPECT_NE(r.err.find("(its dense matrix needs 169 MB of the "), std::string::npos) << r.err;
    // level 6: a dense matrix of 51200 MB, beyond this machine's memory, so hmat alone
    r = run({"sphere", "--level", "6", "-o", "-"});
    const bool fits = 8.0 * 81920 * 81920 <= telma::MEMAVAIL();
    EXPECT_NE(r.err.find(fits ? "telma --solver=lu (its dense matrix needs 51200 MB"
                              : "telma --solver=hmat (the dense matrix of --solver=lu would need 51200 MB, more than the "),
              std::string::npos) << r.err;
}

// The summary line says which way the normals of each closed surface point,
// and a warning names --orient when they look wrong.
TEST(Cli, ImportSaysWhichWayTheNormalsPoint) {
    auto file = [](const std::string& name, const std::string& text) {
        std::ofstream(name) << text;
        return (std::filesystem::current_path() / name).string();
    };
    const std::string ball = file("cli_ball.geo", "SetFactory(\"OpenCASCADE\");\nSphere(1) = {0, 0, 0, 1};\n"
                                                  "Physical Surface(\"electrode\") = {1};\n");
    const std::string pair = file("cli_pair.geo", "SetFactory(\"OpenCASCADE\");\nSphere(1) = {0, 0, 0, 1};\n"
                                                  "Sphere(2) = {3, 0, 0, 1};\n");
    // The unit cube with its top face (element 2) turned over.
    const std::string cube = file("cli_cube.msh", "$MeshFormat\n2.2 0 8\n$EndMeshFormat\n$Nodes\n8\n"
                                  "1 0 0 0\n2 1 0 0\n3 1 1 0\n4 0 1 0\n5 0 0 1\n6 1 0 1\n7 1 1 1\n8 0 1 1\n"
                                  "$EndNodes\n$Elements\n6\n1 3 2 0 1 1 4 3 2\n2 3 2 0 1 5 8 7 6\n"
                                  "3 3 2 0 1 1 2 6 5\n4 3 2 0 1 2 3 7 6\n5 3 2 0 1 3 4 8 7\n"
                                  "6 3 2 0 1 4 1 5 8\n$EndElements\n");
    // says: in the summary line once per closed surface; warns: "" when no warning
    const struct { std::vector<std::string> args; const char* says; int closed; const char* warns; } cases[] = {
        {{"gmsh", ball, "--size", "0.5", "--group", "electrode", "u=1,group=1"},
         ", normals out of the volume enclosed by the surface through element 1\n", 1,
         "warning: the normals of the closed surface through element 1 point out of the volume it encloses, and the "
         "whole surface has one potential: the field inside is constant; for the field outside use --orient inward"},
        {{"gmsh", ball, "--size", "0.5", "--group", "electrode", "u=1,group=1", "--orient", "inward"},
         ", normals into the volume enclosed by the surface through element 1\n", 1, ""},
        {{"gmsh", pair, "--size", "0.6", "--rest", "u=1"}, "normals out of", 2, "lies outside it; --orient inward turns them"},
        {{"gmsh", cube, "--rest", "q=0"}, "normals both into and out of the volume enclosed by the surface", 1,
         "point both into and out of the volume it encloses; --orient outward or --orient inward orders them"},
        {{"gmsh", cube, "--rest", "q=0", "--orient", "outward"}, "normals out of the volume", 1, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", "cli_normals.in"});
        const Outcome r = run(args);
        ASSERT_EQ(r.status, 0) << args[1] << r.err;
        int named = 0;
        for (std::size_t at = r.out.find(c.says); at != std::string::npos; at = r.out.find(c.says, at + 1)) ++named;
        EXPECT_EQ(named, c.closed) << args[1] << "\n" << r.out;
        EXPECT_TRUE(r.err.find(c.warns) != std::string::npos && r.err.empty() == !*c.warns) << args[1] << "\n" << r.err;
    }
}
