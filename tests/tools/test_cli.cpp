// Command line of telma-mesh: help, option errors, what the options build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/cli.hpp"
#include "tests/tools/support.hpp"

using namespace tmesh;
using namespace tmtest;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int st = runTool(args, out, err);
    return {st, out.str(), err.str()};
}

Mesh build(const std::vector<std::string>& args) {
    std::string o;
    return buildFromArgs(args, o);
}

}  // namespace

TEST(Cli, HelpExplainsEveryOptionWithExamples) {
    Outcome r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.empty());
    for (const char* opt : {"box", "sphere", "gmsh", "--min", "--max", "--div", "--face", "--exterior", "--radius",
                            "--centre", "--level", "--bc", "--interior", "--group", "--rest", "--scale", "--orient",
                            "--flip", "--size", "--size-from-file", "-o, --output", "--title", "--sym", "--split", "--point", "--line", "--grid",
                            "u=V", "q=V", "group=K", "div=NAxNB", "Example"})
        EXPECT_TRUE(has(r.out, opt)) << opt;
    EXPECT_EQ(run({"box", "-h"}).status, 0);
}

TEST(Cli, BadCommandLinesFailWithAClearMessage) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{}, "box, sphere or gmsh"},
        {{"cylinder"}, "unknown shape \"cylinder\""},
        {{"box", "--colour", "red"}, "unknown option \"--colour\" for box"},
        {{"sphere", "--face", "xmin", "u=1"}, "unknown option \"--face\" for sphere"},
        {{"box", "--max"}, "--max needs a value"},
        {{"box", "--max", "1,2"}, "expected X,Y,Z"},
        {{"box", "--max", "1,2,a"}, "expected a number, found \"a\""},
        {{"box", "--div", "2,2"}, "N or NX,NY,NZ"},
        {{"box", "--div", "0"}, "at least 1"},
        {{"box", "--min", "0,2,0"}, "y extent is empty"},
        {{"box", "--face", "top", "u=1"}, "unknown face \"top\""},
        {{"box", "--face", "zmin", "v=1"}, "unknown item \"v=1\""},
        {{"box", "--face", "zmin", "group=1"}, "needs u=V or q=V"},
        {{"box", "--face", "zmin", "u=1,q=0"}, "either u= or q="},
        {{"box", "--face", "zmin", "q=1,group=2"}, "needs a prescribed potential"},
        {{"box", "--face", "zmin", "u=1,group=0"}, "1 to 4600"},
        {{"box", "--face", "zmin", "u=1,group=4601"}, "1 to 4600"},
        {{"box", "--face", "zmin", "u=1,div=3"}, "div=NAxNB"},
        {{"sphere", "--bc", "u=1,div=2x2"}, "unknown item \"div=2x2\""},
        {{"sphere", "--level", "2.5"}, "expected an integer"},
        {{"sphere", "--level", "+-1"}, "expected an integer, found \"+-1\""},
        {{"sphere", "--centre", "+-1,0,0"}, "expected a number, found \"+-1\""},
        {{"sphere", "--radius", "1e999"}, "expected a number, found \"1e999\""},
        {{"sphere", "--level", "9"}, "level must be 0 to 8"},
        {{"sphere", "--radius", "-1"}, "radius must be positive"},
        {{"sphere", "--sym", "w=even"}, "axis x, y or z"},
        {{"sphere", "--sym", "x=mirror"}, "even or odd"},
        {{"sphere", "--sym", "x"}, "[+-]AXIS=even|odd"},
        {{"sphere", "--sym", "x=even", "--sym", "-x=odd"}, "given twice"},
        {{"sphere", "--line", "0,0,2", "0,0,3"}, "--line needs a value"},
        {{"sphere", "--grid", "0,0,2", "1,1,3", "2,2"}, "NX,NY,NZ"},
        {{"sphere", "--point", "0,0,2", "--title", " RESULTS"}, "mislead the viewer"},
        {{"gmsh"}, "name the mesh or geometry file"},
        {{"gmsh", "x.geo", "--size", "-1"}, "must be positive"},
        {{"gmsh", "x.geo", "--size", "1", "--size-from-file"}, "give one of them"},
        {{"gmsh", "--group", "a", "u=1"}, "before the options"},
        {{"gmsh", "no-such-file.msh", "--rest", "u=1"}, "no-such-file.msh"},
        {{"gmsh", "x.msh", "--orient", "up"}, "outward or inward"},
        {{"gmsh", "x.msh", "--scale", "0"}, "must be positive"},
        {{"box", "--sym", "-x=even"}, "no element is left"},
        // counts checked before anything is built
        {{"sphere", "--line", "0,0,0", "1,1,1", "2000000000"}, "2000000000 points make more internal points than"},
        {{"sphere", "--grid", "0,0,2", "1,1,3", "1000,1000,1000"}, "1000000000 points make more internal points"},
        {{"box", "--div", "100000"}, "the divisions make 60000000000 elements, more than the 1000000"},
        {{"box", "--face", "zmin", "u=1,div=2000x2000"}, "elements, more than the 1000000"},
    };
    for (const Case& c : cases) {
        Outcome r = run(c.args);
        std::string line;
        for (const auto& w : c.args) line += w + " ";
        EXPECT_EQ(r.status, 1) << line;
        EXPECT_TRUE(has(r.err, "telma-mesh: ")) << line << r.err;
        EXPECT_TRUE(has(r.err, c.says)) << line << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << line;
    }
}

TEST(Cli, OptionsReachTheBuilders) {
    Mesh m = build({"box", "--min", "-1,0,0", "--max", "+1,2,1", "--div", "2,4,1", "--face", "xmax",
                    "u=2.5,group=3,div=2x2", "--sym", "x=odd", "--grid", "0.1,0.1,0.1", "0.9,1.9,0.9", "2,3,4",
                    "--point", "0.5,1,0.5", "--title", "t"});
    EXPECT_EQ(m.title, "t");
    EXPECT_EQ(m.isym, (std::array<int, 3>{-1, 0, 0}));
    EXPECT_EQ(m.ip.size(), 2u * 3 * 4 + 1);
    int grp = 0;
    for (const Element& e : m.el) {
        for (int j = 0; j < e.npe; ++j) EXPECT_GE(e.x[j][0], 0.0);
        if (e.bc.kode == -3) {
            ++grp;
            EXPECT_EQ(e.bc.vbc, 2.5);
        }
    }
    EXPECT_EQ(grp, 4);
    // zmin, zmax: 1 x 4 cells on the kept half; ymin, ymax: 1 x 1; xmax 2 x 2
    EXPECT_EQ(m.el.size(), 4u + 4 + 1 + 1 + 4);

    Mesh s = build({"sphere", "--level", "1", "--interior", "--bc", "q=-1", "--sym", "-z=even", "--split", "x"});
    EXPECT_EQ(s.isym, (std::array<int, 3>{0, 0, 1}));
    for (const Element& e : s.el) {
        EXPECT_EQ(e.bc.kode, 1);
        EXPECT_EQ(e.bc.vbc, -1.0);
        for (int j = 0; j < e.npe; ++j) EXPECT_LE(e.x[j][2], 0.0);
        EXPECT_GT(unitNormal(e)[0] * centroid(e)[0] + unitNormal(e)[1] * centroid(e)[1] +
                      unitNormal(e)[2] * centroid(e)[2], 0);
    }
    // default title: the command line
    EXPECT_EQ(build({"sphere", "--level", "0"}).title, "telma-mesh sphere --level 0");
}

TEST(Cli, WritesTheFileAndSaysWhat) {
    std::string path = (std::filesystem::current_path() / "cli_box.in").string();
    Outcome r = run({"box", "--div", "2", "-o", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty());
    EXPECT_TRUE(has(r.out, "24 elements (0 triangles, 24 quadrilaterals), 0 internal points")) << r.out;
    EXPECT_TRUE(std::filesystem::exists(path));
    auto size = std::filesystem::file_size(path);
    // A refused mesh leaves the existing file as it was.
    Outcome bad = run({"box", "--title", " RESULTS", "-o", path});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(std::filesystem::file_size(path), size);
    // A file that cannot be made: the name in the message, status 1.
    std::string nodir = (std::filesystem::current_path() / "no-such-dir" / "x.in").string();
    Outcome none = run({"box", "-o", nodir});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(has(none.err, "telma-mesh: " + nodir)) << none.err;
    EXPECT_TRUE(none.out.empty());
    Outcome s = run({"sphere", "--level", "0", "-o", "-"});
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.out.substr(0, s.out.find('\n')), "telma-mesh sphere --level 0 -o -");
    EXPECT_TRUE(s.err.empty());
    // Beyond the classic bounds: written, with a note.
    s = run({"box", "--div", "28", "-o", "-"});
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.err, "telma-mesh: note: 4704 elements and 0 internal points are beyond the 4600 and 7000 of "
                     "telma's classic solve: solve it with telma --solver=lu or --solver=hmat\n");
}

// A .msh sliver the solver would refuse: refused here, and no file written.
TEST(Cli, RefusesASliverTheSolverWouldRefuse) {
    namespace fs = std::filesystem;
    const fs::path msh = fs::current_path() / "cli_sliver.msh";
    const fs::path in = fs::current_path() / "cli_sliver.in";
    std::ofstream(msh) << "$MeshFormat\n2.2 0 8\n$EndMeshFormat\n"
                          "$Nodes\n3\n1 0 0 0\n2 1 0 0\n3 2 1e-11 0\n$EndNodes\n"
                          "$Elements\n1\n1 2 2 1 1 1 2 3\n$EndElements\n";
    fs::remove(in);
    Outcome r = run({"gmsh", msh.string(), "--rest", "u=1", "-o", in.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "telma-mesh: ")) << r.err;
    EXPECT_TRUE(has(r.err, "element 1: its first three corners lie on one line")) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(fs::exists(in));
    // A sound mesh, the output named as the mesh read in another case: kept.
    std::ofstream(msh) << "$MeshFormat\n2.2 0 8\n$EndMeshFormat\n"
                          "$Nodes\n3\n1 0 0 0\n2 1 0 0\n3 0 1 0\n$EndNodes\n"
                          "$Elements\n1\n1 2 2 1 1 1 2 3\n$EndElements\n";
    const auto size = fs::file_size(msh);
    r = run({"gmsh", msh.string(), "--rest", "u=1", "-o", (fs::current_path() / "CLI_SLIVER.MSH").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "CLI_SLIVER.MSH: is the input file " + msh.string())) << r.err;
    EXPECT_EQ(fs::file_size(msh), size);
}

// The summary line says which way the normals of each closed surface point,
// and a warning names --orient when they look wrong.
TEST(Cli, ImportSaysWhichWayTheNormalsPoint) {
    namespace fs = std::filesystem;
    auto file = [](const std::string& name, const std::string& text) {
        std::string p = (fs::current_path() / name).string();
        std::ofstream(p) << text;
        return p;
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
    const struct {
        std::vector<std::string> args;
        const char* says;  // in the summary line
        int closed;        // closed surfaces, each named once
        const char* warns; // "" when no warning
    } cases[] = {
        {{"gmsh", ball, "--size", "0.5", "--group", "electrode", "u=1,group=1"},
         ", normals out of the volume enclosed by the surface through element 1\n", 1,
         "warning: the normals of the closed surface through element 1 point out of the volume it encloses, and the "
         "whole surface has one potential: the field inside is constant; for the field outside use --orient inward"},
        {{"gmsh", ball, "--size", "0.5", "--group", "electrode", "u=1,group=1", "--orient", "inward"},
         ", normals into the volume enclosed by the surface through element 1\n", 1, ""},
        {{"gmsh", ball, "--size", "0.5", "--rest", "q=1"}, "normals out of the volume", 1, ""},
        {{"gmsh", pair, "--size", "0.6", "--rest", "u=1"}, "normals out of", 2,
         "lies outside it; --orient inward turns them"},
        {{"gmsh", pair, "--size", "0.6", "--rest", "u=1", "--orient", "inward"}, "normals into", 2, ""},
        {{"gmsh", cube, "--rest", "q=0"}, "normals both into and out of the volume enclosed by the surface", 1,
         "point both into and out of the volume it encloses; --orient outward or --orient inward orders them"},
    };
    const std::string in = (fs::current_path() / "cli_normals.in").string();
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", in});
        Outcome r = run(args);
        std::string line;
        for (const auto& w : args) line += w + " ";
        ASSERT_EQ(r.status, 0) << line << r.err;
        int named = 0;
        for (std::size_t at = r.out.find(c.says); at != std::string::npos; at = r.out.find(c.says, at + 1)) ++named;
        EXPECT_EQ(named, c.closed) << line << "\n" << r.out;
        EXPECT_TRUE(has(r.err, c.warns) && r.err.empty() == !*c.warns) << line << "\n" << r.err;
    }
}
