// telma-bench: times the solver's phases against its plain reference
// (solver/reference.cpp) on problems made by the mesh tool's builders, checks
// that both give the same bits, and prints the times and their ratios.
//
//   telma-bench [--quick] [--runs N] [--only PHASE] [--write-input FILE]
//   telma-bench --load=0|1|per-core [--runs N]
//   telma-bench --solvers [--runs N]
//   telma-bench --large[=NAME,...] [--runs N]
//   telma-bench --mpi=P [--runs N]
#include <omp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <filesystem>
#include <fstream>

#include "QVLIB/STPWATCH/stpwatch.hpp"
#include "solver/hmat/hmat.hpp"
#include "solver/kernels.hpp"
#include "solver/lu/lu.hpp"
#include "solver/options.hpp"
#include "solver/reference.hpp"
#include "tools/datafile.hpp"
#include "tools/mesh.hpp"

namespace {

using namespace telma;
namespace reference = telma::reference;
using Clock = std::chrono::steady_clock;

int RUNS = 3;

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// A piece of work to time, and what to do before it (not timed).
struct Job {
    std::function<void()> prepare, run;
};

// Median times of `runs` rounds of the jobs, the jobs taking turns within
// each round so that a busy spell of the machine falls on all of them.
std::vector<double> timed(int runs, const std::vector<Job>& jobs) {
    std::vector<std::vector<double>> t(jobs.size());
    for (int r = 0; r < runs; ++r)
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            jobs[k].prepare();
            const auto a = Clock::now();
            jobs[k].run();
            t[k].push_back(seconds(a, Clock::now()));
        }
    std::vector<double> m;
    for (auto& v : t) m.push_back(median(v));
    return m;
}

void nothing() {}

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Sends the console of the solver somewhere else while it lives.
using Quiet = textio::ConsoleCapture;

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        ++failures;
        std::printf("  *** MISMATCH: %s\n", what);
    }
}

void row(const char* phase, double tref, double tnew, const char* note = "") {
    std::printf("  %-34s %10.4f s %10.4f s %8.2fx %s\n", phase, tref, tnew, tref / tnew, note);
    std::fflush(stdout);
}

void header(const char* title) {
    std::printf("\n%s\n  %-34s %12s %12s %9s\n", title, "phase", "reference", "telma", "ratio");
}

// ---------------------------------------------------------------- problems

// Unit vectors spread evenly over the sphere (golden-angle spiral).
tmesh::Vec3 spiral(int k, int n) {
    const double z = 1.0 - (2.0 * k + 1.0) / n;
    const double r = std::sqrt(1.0 - z * z);
    const double phi = k * 2.399963229728653;
    return {r * std::cos(phi), r * std::sin(phi), z};
}

// The exterior problem of the box [0,1]^3 meshed with a x b x c rectangles
// per direction: potential 1 and flux group 1 on every element, and nip
// field points at distances 1 to 1 + reach from its centre.
tmesh::Mesh box(const char* title, int a, int b, int c, int nip, double reach) {
    tmesh::BoxParams p;
    p.div = {a, b, c};
    p.exterior = true;
    for (tmesh::FaceParams& f : p.face) f.bc = {-1, 1.0};
    tmesh::Mesh m = tmesh::makeBox(p);
    m.title = title;
    for (int k = 0; k < nip; ++k) {
        const double r = 1.0 + reach * (k + 0.5) / nip;
        const tmesh::Vec3 d = spiral(k, nip);
        m.ip.push_back({0.5 + r * d[0], 0.5 + r * d[1], 0.5 + r * d[2]});
    }
    return m;
}

// The exterior capacitance problem of the unit cube, n x n squares a face.
tmesh::Mesh cube(int n, int nip) { return box("Unit cube, exterior capacitance problem", n, n, n, nip, 3.0); }

// The interior problem of the unit sphere of 20 * 4^levels triangles:
// potential x + 2y + 3z prescribed on the upper half, its normal derivative
// on the lower half, and nip internal points inside radius 0.8.
tmesh::Mesh sphere(int levels, int nip) {
    tmesh::SphereParams p;
    p.level = levels;
    p.exterior = false;
    tmesh::Mesh m = tmesh::makeSphere(p);
    m.title = "Unit sphere, interior problem u = x + 2y + 3z";
    for (tmesh::Element& e : m.el) {
        const tmesh::Vec3 c = tmesh::centroid(e), n = tmesh::unitNormal(e);
        if (c[2] >= 0)
            e.bc = {0, c[0] + 2 * c[1] + 3 * c[2]};
        else
            e.bc = {1, n[0] + 2 * n[1] + 3 * n[2]};
    }
    for (int k = 0; k < nip; ++k) {
        const double r = 0.8 * std::cbrt((k + 0.5) / nip);
        const tmesh::Vec3 d = spiral(k, nip);
        m.ip.push_back({r * d[0], r * d[1], r * d[2]});
    }
    return m;
}

// Puts the problem in the solver's storage as READIN leaves it, through its
// data file.
void load(const tmesh::Mesh& m) {
    std::stringstream data;
    tmesh::writeDataFile(data, m);
    std::ostringstream echo;
    textio::OutUnit rep(echo);
    Quiet q;
    CLEAR();
    textio::Reader in(data, m.title);
    READIN(in, rep);
}

// ---------------------------------------------------------------- INFLU

void benchInflu() {
    load(cube(27, 0));
    ELCHK();
    GEOM();
    const int rows = 200;
    auto rowOf = [](int i) { return 1 + (i * 97) % NBE; };
    static double g[NBEMAX + 1], h[NBEMAX + 1];
    double sink = 0.0;
    std::vector<double> tn, ts, tr;
    for (int r = 0; r < std::max(RUNS, 5); ++r) {
        auto a = Clock::now();
        for (int i = 0; i < rows; ++i) {
            const int I = rowOf(i);
            for (int J = 1; J <= NBE; ++J) {
                double G, H;
                INFLU(XC[I][1], XC[I][2], XC[I][3], J, G, H);
                sink += G + H;
            }
        }
        tn.push_back(seconds(a, Clock::now()));
        a = Clock::now();
        for (int i = 0; i < rows; ++i) {
            const int I = rowOf(i);
            for (int J = 1; J <= NBE; ++J) g[J] = h[J] = 0.0;
            INFSYMS(XC[I][1], XC[I][2], XC[I][3], 1, NBE + 1, &g[1], &h[1]);
            sink += g[NBE];
        }
        ts.push_back(seconds(a, Clock::now()));
        a = Clock::now();
        for (int i = 0; i < rows; ++i) {
            const int I = rowOf(i);
            for (int J = 1; J <= NBE; ++J) {
                double G, H;
                reference::INFLU(XC[I][1], XC[I][2], XC[I][3], J, G, H);
                sink -= G + H;
            }
        }
        tr.push_back(seconds(a, Clock::now()));
    }
    bool ok = true;
    for (int i = 0; i < rows && ok; ++i) {
        const int I = rowOf(i);
        for (int J = 1; J <= NBE; ++J) g[J] = h[J] = 0.0;
        INFSYMS(XC[I][1], XC[I][2], XC[I][3], 1, NBE + 1, &g[1], &h[1]);
        for (int J = 1; J <= NBE; ++J) {
            double G, H, gr, hr;
            INFLU(XC[I][1], XC[I][2], XC[I][3], J, G, H);
            reference::INFLU(XC[I][1], XC[I][2], XC[I][3], J, gr, hr);
            // INFSYMS adds the one image term to zero
            if (!same(G, gr) || !same(H, hr) || !same(g[J], 0.0 + 1 * gr) || !same(h[J], 0.0 + 1 * hr))
                ok = false;
        }
    }
    const double calls = static_cast<double>(rows) * NBE;
    std::printf("\nINFLU on one thread, %d node-to-element calls of the cube problem (%s)\n",
                rows * NBE, ok ? "same bits" : "DIFFERENT");
    std::printf("  reference %.1f ns/call; telma %.1f ns/call alone (%.2fx), %.1f ns/call in rows (%.2fx)\n",
                median(tr) / calls * 1e9, median(tn) / calls * 1e9, median(tr) / median(tn),
                median(ts) / calls * 1e9, median(tr) / median(ts));
    check(ok && std::isfinite(sink), "INFLU coefficients differ");
}



// ---------------------------------------------------------------- assembly

std::vector<double> Bsave;

void benchAssembly() {
    load(cube(27, 0));
    ELCHK();
    GEOM();
    header("Assembly of the cube problem (4374 x 4374)");
    const std::vector<double> t = timed(
        RUNS, {{nothing,
                [] {
                    Quiet q;
                    qvlib::SWSTRT();
                    ASSEMB();
                }},
               {[] { Bsave.assign(B.begin(), B.end()); },
                [] {
                    Quiet q;
                    qvlib::SWSTRT();
                    reference::ASSEMB();
                }}});
    const double tn = t[0], tr = t[1];
    bool ok = true;
    for (int I = 1; I <= NBE && ok; ++I) {
        if (!same(B[I], Bsave[I])) ok = false;
        for (int J = 1; J <= NBE; ++J)
            if (!same(A(I, J), reference::A(I, J))) {
                ok = false;
                break;
            }
    }
    row("assembly", tr, tn, ok ? "same bits" : "");
    check(ok, "assembled matrix or right-hand side differ");
    bool dn = true, dr = true;
    const std::vector<double> td =
        timed(std::max(RUNS, 5), {{nothing, [&] { dn = DOMTST(NBE); }}, {nothing, [&] { dr = reference::DOMTST(NBE); }}});
    const double tdn = td[0], tdr = td[1];
    row("dominance test", tdr, tdn, dn == dr ? "same answer" : "");
    check(dn == dr, "dominance test differs");
}

// ---------------------------------------------------------------- sweeps

double readOnce(int threads) {
    const int N = NBE;
    const double* a = &A(1, 1);
    double total = 0.0;
#pragma omp parallel for num_threads(threads) schedule(static) reduction(+ : total)
    for (int I = 0; I < N; ++I) {
        const double* r = a + static_cast<std::size_t>(I) * NDIM;
        double s[8] = {};
        int J = 0;
        for (; J + 8 <= N; J += 8)
            for (int k = 0; k < 8; ++k) s[k] += r[J + k];
        for (; J < N; ++J) s[0] += r[J];
        total += ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
    }
    return total;
}

void benchSweeps() {
    // the matrix and right-hand side of the assembly phase are still in place
    const int N = NBE;
    header("Gauss-Seidel on the cube problem");
    [[maybe_unused]] static volatile double sink;
    const int many = std::max(RUNS, 11);

    std::vector<double> X0(N, 0.0), X1, X2, Xr;
    // start from the vector after two sweeps, as in the middle of a solve
    for (int k = 0; k < 2; ++k) GSSWEEP(&A(1, 1), &B[1], X0.data(), N, NDIM, 1);
    double e1 = 0, e2 = 0, er = 0;
    const std::vector<double> t =
        timed(many, {{[&] { X2 = X0; }, [&] { e2 = GSSWEEP(&A(1, 1), &B[1], X2.data(), N, NDIM, 2); }},
                     {[&] { X1 = X0; }, [&] { e1 = GSSWEEP(&A(1, 1), &B[1], X1.data(), N, NDIM, 1); }},
                     {[&] { Xr = X0; }, [&] { er = reference::SWEEP(reference::matrix(), &B[1], Xr.data(), N, 1, NBEMAX); }},
                     {nothing, [] { sink = readOnce(2); }},
                     {nothing, [] { sink = readOnce(1); }}});
    const double t2 = t[0], t1 = t[1], tr = t[2], tread2 = t[3], tread1 = t[4];
    bool ok = same(e1, e2) && same(e1, er);
    for (int I = 0; I < N; ++I) ok = ok && same(X2[I], X1[I]) && same(X2[I], Xr[I]);
    row("one sweep, column-major reference", tr, t2, ok ? "same bits" : "");
    row("one sweep, row-major on one thread", t1, t2, ok ? "same bits" : "");
    check(ok, "sweep results differ");
    std::printf("  read the matrix once: %.4f s on two threads, %.4f s on one; "
                "sweep / read = %.2f (two threads), %.2f (one)\n",
                tread2, tread1, t2 / tread2, t2 / tread1);

    // the whole solve, with its sweep lines
    std::string cn, cr;
    std::vector<double> Bn, Br;
    int iern = 0, ierr = 0;
    auto solveJob = [&](bool plain) {
        return [&, plain] {
            std::vector<double> b(Bsave.begin() + 1, Bsave.begin() + 1 + N), x(N, 0.0);
            Quiet q;
            int& ier = plain ? ierr : iern;
            ier = 0;
            SOLSTAT st;
            if (plain)
                reference::ITSOLV(reference::matrix(), b.data(), x.data(), N, 1, NBEMAX, EPSIT, ier, st);
            else
                ITSOLV(&A(1, 1), b.data(), x.data(), N, 1, NDIM, EPSIT, ier, st);
            (plain ? cr : cn) = q.text();
            (plain ? Br : Bn) = b;
        };
    };
    const std::vector<double> ts = timed(RUNS, {{nothing, solveJob(false)}, {nothing, solveJob(true)}});
    const double tsn = ts[0], tsr = ts[1];
    bool same2 = cn == cr && iern == ierr && Bn.size() == Br.size();
    for (std::size_t I = 0; same2 && I < Bn.size(); ++I) same2 = same(Bn[I], Br[I]);
    char note[64];
    std::snprintf(note, sizeof note, "%d sweeps, %s", static_cast<int>(std::count(cn.begin(), cn.end(), '\n')),
                  same2 ? "same bits and lines" : "");
    row("full solve", tsr, tsn, note);
    check(same2, "solutions or sweep lines differ");
}

// ---------------------------------------------------------------- internal points

void benchPoints() {
    load(sphere(3, NIPMAX));
    {
        // the boundary solution, without the points: they are what is timed
        Quiet q;
        std::ostringstream discard;
        textio::OutUnit rep(discard);
        SOLVER noPoints = GSSOLVER;
        noPoints.POINTS = [](const SOLREQ&) {};
        RUN(rep, noPoints);
    }
    char title[96];
    std::snprintf(title, sizeof title, "Internal points of the sphere problem (%d elements, %d points)",
                  NBE, NIP);
    header(title);
    std::vector<double> u, g;
    auto save = [&] {
        u.clear();
        g.clear();
        for (int I = 1; I <= NIP; ++I) {
            u.push_back(UIP[I]);
            for (int K = 1; K <= 3; ++K) g.push_back(GRADV[K][I]);
        }
    };
    const std::vector<double> t = timed(RUNS, {{nothing,
                                                [] {
                                                    Quiet q;
                                                    INTPTS();
                                                }},
                                               {save, [] {
                                                    Quiet q;
                                                    reference::INTPTS();
                                                }}});
    const double tn = t[0], tr = t[1];
    bool ok = true;
    double err = 0.0;
    for (int I = 1; I <= NIP; ++I) {
        ok = ok && same(UIP[I], u[I - 1]);
        for (int K = 1; K <= 3; ++K) ok = ok && same(GRADV[K][I], g[3 * (I - 1) + K - 1]);
        err = std::max(err, std::fabs(UIP[I] - (XIP[I][1] + 2 * XIP[I][2] + 3 * XIP[I][3])));
    }
    char note[64];
    std::snprintf(note, sizeof note, "%s (|u - exact| <= %.1e)", ok ? "same bits" : "", err);
    row("internal points", tr, tn, note);
    check(ok, "internal-point results differ");
}

// ---------------------------------------------------------------- whole run

std::string masked(const std::string& console) {
    static const std::regex t("time :[ 0-9.*]+");
    return std::regex_replace(console, t, "time : (masked)");
}

// The classic run after the data are read.
int classicRun(textio::OutUnit& rep) { return RUN(rep); }

// The run after the data are read (SOLVE, e.g. classicRun) on the problem
// in storage: console, report and status.
int wholeRun(int (*solve)(textio::OutUnit&), std::string& con, std::string& rep) {
    std::ostringstream out;
    int st;
    {
        textio::OutUnit unit(out);
        Quiet q;
        st = solve(unit);
        unit.flush();
        con = q.text();
    }
    rep = out.str();
    return st;
}

void benchWholeRun() {
    static constexpr int nip = 100;
    header("Whole run of the cube problem after the reading (4374 elements, 100 points)");
    std::string cn, rn, cr, rr;
    int sn = -1, sr = -1;
    const tmesh::Mesh cubeMesh = cube(27, nip);
    auto problem = [&] { load(cubeMesh); };
    const std::vector<double> t = timed(RUNS, {{problem, [&] { sn = wholeRun(classicRun, cn, rn); }},
                                               {problem, [&] { sr = wholeRun(reference::RUN, cr, rr); }}});
    const double tn = t[0], tr = t[1];
    const bool ok = sn == sr && rn == rr && masked(cn) == masked(cr);
    char note[96];
    std::snprintf(note, sizeof note, "%s", ok ? "same report and console" : "");
    row("whole run", tr, tn, note);
    check(ok, "report or console differ");
    const std::size_t f = rn.find(" FLUX  1 :");
    if (f != std::string::npos)
        std::printf("  (report: %zu bytes;%s)\n", rn.size(), rn.substr(f, rn.find('\n', f) - f).c_str());
}

// ---------------------------------------------------------------- the three solvers

const SOLVER* RUNNING;  // the solver timedRun runs
double TPH[3];          // the times of its last operator, solve, internal points

// RUNNING with each phase timed into TPH.
int timedRun(textio::OutUnit& rep) {
    SOLVER S = *RUNNING;
    S.BUILD = [](const SOLREQ& R) {
        const auto a = Clock::now();
        RUNNING->BUILD(R);
        TPH[0] = seconds(a, Clock::now());
    };
    S.SOLVE = [](const SOLREQ& R) {
        const auto a = Clock::now();
        const SOLSTAT st = RUNNING->SOLVE(R);
        TPH[1] = seconds(a, Clock::now());
        return st;
    };
    S.POINTS = [](const SOLREQ& R) {
        const auto a = Clock::now();
        RUNNING->POINTS(R);
        TPH[2] = seconds(a, Clock::now());
    };
    return RUN(rep, S);
}

// The whole run of the cube problem with gs, lu and hmat in turn: the median
// time of each phase, and the largest relative difference of U, Q and the
// fluxes from gs.  The operator of hmat is its compression.
void benchSolvers() {
    const PETSCRUN petsc;
    static const SOLVER* const solvers[] = {&GSSOLVER, &LUSOLVER, &HMSOLVER};
    constexpr int NS = 3;
    const tmesh::Mesh cubeMesh = cube(27, 100);
    std::vector<double> t[NS][3], U[NS], Q[NS], F[NS];
    int status[NS];
    std::vector<Job> jobs;
    for (int k = 0; k < NS; ++k)
        jobs.push_back({[&] { load(cubeMesh); }, [&, k] {
                            std::string con, rep;
                            RUNNING = solvers[k];
                            status[k] = wholeRun(timedRun, con, rep);
                            for (int p = 0; p < 3; ++p) t[k][p].push_back(TPH[p]);
                            U[k].assign(VBC.begin() + 1, VBC.begin() + 1 + NBE);
                            Q[k].assign(B.begin() + 1, B.begin() + 1 + NBE);
                            F[k].assign(FLUX.begin() + 1, FLUX.begin() + 1 + NGRP);
                        }});
    const std::vector<double> whole = timed(RUNS, jobs);
    std::printf("\nThe three solvers on the cube problem (4374 elements, 100 points)\n"
                "  %-6s %12s %12s %12s %12s   %s\n",
                "solver", "assembly", "solve", "points", "whole run", "largest relative difference from gs");
    for (int k = 0; k < NS; ++k) {
        std::printf("  %-6s %10.4f s %10.4f s %10.4f s %10.4f s", solvers[k]->NAME, median(t[k][0]),
                    median(t[k][1]), median(t[k][2]), whole[k]);
        check(status[k] == 0, "a solve failed");
        if (k > 0) {
            const double du = reference::RELDIF(U[k], U[0]), dq = reference::RELDIF(Q[k], Q[0]),
                         df = reference::RELDIF(F[k], F[0]);
            std::printf("   U %.1e  Q %.1e  FLUX %.1e", du, dq, df);
            check(std::max({du, dq, df}) <= 1e-6, "results differ from gs by more than 1e-6");
        }
        std::printf("%s\n", solvers[k]->DENSE ? "" : " (assembly: the compression)");
    }
}

// ------------------------------------------------------- large problems

// A large problem: the telma program runs it with --solver=hmat in a process
// of its own, whose peak memory the system reports.
struct LARGE {
    const char* name;
    tmesh::Mesh (*make)();
    double exact;            // capacitance FLUX / (4 pi) of the electrode
    const char* tol = "";    // telma's --tol (empty: the default)
};

tmesh::Mesh sphereOf(int level) { return tmesh::makeSphere(tmesh::SphereParams{.level = level}); }

const LARGE LARGES[] = {
    {"sphere5", [] { return sphereOf(5); }, 1.0},
    {"sphere5-tol6", [] { return sphereOf(5); }, 1.0, "1e-6"},
    {"sphere6", [] { return sphereOf(6); }, 1.0},
    {"sphere6-tol6", [] { return sphereOf(6); }, 1.0, "1e-6"},
    {"sphere7", [] { return sphereOf(7); }, 1.0},
    {"sphere8", [] { return sphereOf(8); }, 1.0, "1e-6"},
    {"cube129", [] { return box("Unit cube, exterior capacitance problem", 129, 129, 129, 0, 0.0); }, 0.6606785},
};

// A folder of its own for the runs of the telma program, removed at the
// end, with the data file of a problem written there.
struct SCRATCH {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("telma-bench-" + std::to_string(getpid()));
    SCRATCH() { std::filesystem::create_directories(dir); }
    ~SCRATCH() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    void write(const char* name, const tmesh::Mesh& m) const {
        std::ofstream out(dir / name, std::ios::binary);
        tmesh::writeDataFile(out, m);
    }
    // the text of the file NAME there (empty when there is none)
    std::string text(const char* name) const {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

// One run of a program: wall seconds, peak resident memory in bytes (of the
// process the benchmark started), exit status.
struct RUNSTAT {
    double wall, peak;
    int status;
};

// One run of the command CMD in DIR with THREADS OpenMP threads (0: as
// the environment says), its standard output to CON.
RUNSTAT runIn(const std::filesystem::path& dir, const std::vector<std::string>& cmd, int threads, const char* con) {
    std::fflush(stdout);  // or the child writes it again
    const auto a = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0 || !std::freopen(con, "w", stdout)) _exit(127);
        if (threads > 0) setenv("OMP_NUM_THREADS", std::to_string(threads).c_str(), 1);
        std::vector<char*> args;
        for (const std::string& w : cmd) args.push_back(const_cast<char*>(w.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int st = 0;
    rusage ru{};
    wait4(pid, &st, 0, &ru);
    return {seconds(a, Clock::now()), ru.ru_maxrss * 1024.0, WIFEXITED(st) ? WEXITSTATUS(st) : 128};
}

// One run of telma --solver=hmat on FILE in DIR at the tolerance TOL (empty:
// the default), console to CON.
RUNSTAT runTelma(const std::filesystem::path& dir, const char* file, const std::string& tol, const char* con) {
    std::vector<std::string> cmd{TELMA_PROGRAM, "--solver=hmat", file, "large.rep"};
    if (!tol.empty()) cmd.insert(cmd.begin() + 2, "--tol=" + tol);
    return runIn(dir, cmd, 0, con);
}

// The last number a console line matching RE captures, -1 if none.
double lastMatch(const std::string& text, const std::regex& re) {
    double v = -1;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        v = std::stod((*it)[1]);
    return v;
}

// Each named large problem solved by telma --solver=hmat: the median of each
// phase (compression, GMRES, whole run), the peak memory, the iterations and
// the capacitance against its exact value.
void benchLarge(const std::string& names) {
    const SCRATCH scratch;
    static const std::regex compressed("Compressed matrix :.*time :\\s*([0-9.]+)");
    static const std::regex gmres("GMRES iterations :\\s*([0-9]+), time :\\s*([0-9.]+)");
    static const std::regex flux("FLUX  1 :\\s*([-0-9.E+]+)");
    std::printf("\nLarge problems, telma --solver=hmat, medians of %d run(s)\n"
                "  %-12s %9s %6s %12s %12s %12s %10s %9s %6s %12s %10s\n",
                RUNS, "problem", "elements", "tol", "compression", "GMRES", "whole run", "peak", "bytes/el.",
                "iter.", "capacitance", "error");
    for (const LARGE& p : LARGES) {
        if (!names.empty() && ("," + names + ",").find(std::string(",") + p.name + ",") == std::string::npos)
            continue;
        const tmesh::Mesh m = p.make();
        scratch.write("large.in", m);
        std::vector<double> tc, tg, tw, peak;
        double its = 0, cap = 0;
        for (int r = 0; r < RUNS; ++r) {
            const RUNSTAT st = runTelma(scratch.dir, "large.in", p.tol, "large.con");
            const std::string c = scratch.text("large.con");
            std::smatch g;
            const bool ok = st.status == 0 && std::regex_search(c, g, gmres);
            check(ok, "a large problem was not solved");
            if (!ok) {
                std::printf("  %-12s %9zu: not solved (exit %d)\n", p.name, m.el.size(), st.status);
                break;
            }
            tc.push_back(lastMatch(c, compressed));
            tg.push_back(std::stod(g[2]));
            tw.push_back(st.wall);
            peak.push_back(st.peak);
            its = std::stod(g[1]);
            cap = lastMatch(scratch.text("large.rep"), flux) / (4 * std::acos(-1.0));
        }
        if (tw.empty()) continue;
        std::printf("  %-12s %9zu %6s %10.1f s %10.1f s %10.1f s %7.2f GB %9.0f %6.0f %12.7f %9.4f %%\n", p.name,
                    m.el.size(), *p.tol ? p.tol : "1e-10", median(tc), median(tg), median(tw), median(peak) / 1e9,
                    median(peak) / static_cast<double>(m.el.size()), its, cap, 100 * (cap / p.exact - 1));
        std::fflush(stdout);
    }
}

// ------------------------------------------------------- processes (--mpi)

// The number after "NAME": in a JSON text, -1 if none.
double jsonNumber(const std::string& text, const std::string& name) {
    const std::size_t at = text.find("\"" + name + "\": ");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + name.size() + 4);
}

// The values of the DataArray NAME of a VTK file.
std::vector<double> vtuArray(const std::string& text, const std::string& name) {
    std::vector<double> v;
    std::size_t at = text.find("Name=\"" + name + "\"");
    if (at == std::string::npos) return v;
    at = text.find('>', at) + 1;
    std::istringstream in(text.substr(at, text.find('<', at) - at));
    for (double x; in >> x;) v.push_back(x);
    return v;
}

// The spheres of 20,480 and 81,920 triangles by telma --solver=hmat on one
// process of two threads and of one, and on P processes of one thread
// (mpirun): the median of each phase, the largest process's peak memory,
// the iterations, and the largest difference of U, Q and FLUX from the one
// process of two threads.
void benchMpi(int P) {
    const SCRATCH scratch;
    std::printf("\nThe compressed solve on %d processes (mpirun), telma --solver=hmat, medians of %d run(s)\n"
                "  %-8s %-14s %10s %10s %10s %9s %6s %11s\n",
                P, RUNS, "problem", "processes", "build", "solve", "whole run", "peak", "iter.", "difference");
    struct SETUP {
        int procs, threads;
    };
    const SETUP setups[] = {{1, 2}, {1, 1}, {P, 1}};
    for (int level : {5, 6}) {
        scratch.write("mpi.in", sphereOf(level));
        std::vector<double> U0, Q0, F0;
        for (const SETUP& s : setups) {
            std::vector<std::string> cmd;
            if (s.procs > 1) {
                cmd = {"mpirun", "--oversubscribe", "-np", std::to_string(s.procs), "-x", "OMP_NUM_THREADS"};
                if (geteuid() == 0) cmd.insert(cmd.begin() + 1, "--allow-run-as-root");
            }
            for (const char* w : {TELMA_PROGRAM, "--solver=hmat", "--vtu=mpi.vtu", "--json=mpi.json", "mpi.in", "mpi.rep"})
                cmd.push_back(w);
            std::vector<double> tb, ts, tw, peak;
            double its = 0, diff = 0;
            for (int r = 0; r < RUNS; ++r) {
                const RUNSTAT st = runIn(scratch.dir, cmd, s.threads, "mpi.con");
                const std::string j = scratch.text("mpi.json"), v = scratch.text("mpi.vtu");
                const bool ok = st.status == 0 && jsonNumber(j, "status") == 0;
                check(ok, "the compressed solve on several processes failed");
                if (!ok) break;
                tb.push_back(jsonNumber(j, "build"));
                ts.push_back(jsonNumber(j, "solve"));
                tw.push_back(st.wall);
                peak.push_back(jsonNumber(j, "peak_memory_mb"));
                its = jsonNumber(j, "count");
                const std::vector<double> U = vtuArray(v, "potential"), Q = vtuArray(v, "normal_derivative"),
                                          F{jsonNumber(j, "flux")};
                if (U0.empty()) U0 = U, Q0 = Q, F0 = F;
                diff = std::max({reference::RELDIF(U, U0), reference::RELDIF(Q, Q0), reference::RELDIF(F, F0)});
            }
            if (tw.empty()) continue;
            char who[32];
            std::snprintf(who, sizeof who, "%d x %d thread%s", s.procs, s.threads, s.threads > 1 ? "s" : "");
            std::printf("  %-8s %-14s %8.2f s %8.2f s %8.2f s %6.0f MB %6.0f %11.1e\n", level == 5 ? "sphere5" : "sphere6",
                        who, median(tb), median(ts), median(tw), median(peak), its, diff);
            std::fflush(stdout);
        }
    }
}

// ---------------------------------------------------------------- under load

// Processes that keep a core busy until they are killed; each dies with the
// benchmark.
std::vector<pid_t> busy(int n) {
    std::vector<pid_t> pids;
    for (int k = 0; k < n; ++k) {
        const pid_t pid = fork();
        if (pid == 0) {
#if defined(__linux__)
            prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
            static volatile unsigned long sink;
            for (;;) sink = sink + 1;
        }
        if (pid > 0) pids.push_back(pid);
    }
    return pids;
}

void stop(const std::vector<pid_t>& pids) {
    for (pid_t pid : pids) kill(pid, SIGKILL);
    for (pid_t pid : pids) waitpid(pid, nullptr, 0);
}

// The whole run of the cube with the default threads and with one thread, in
// turn, beside `nbusy` busy processes: the times of each pair and the median
// of their ratios.
void benchLoaded(int nbusy, const char* what) {
    const int threads = omp_get_max_threads();
    char def[32];
    std::snprintf(def, sizeof def, "default (%d threads)", threads);
    std::printf("\nWhole run of the cube problem (4374 elements, 100 points) beside %s\n"
                "  %4s %22s %12s %8s\n", what, "pair", def, "one thread", "ratio");
    const tmesh::Mesh cubeMesh = cube(27, 100);
    std::string con[2], rep[2];
    std::vector<double> ratio, tdef, tone;
    const std::vector<pid_t> pids = busy(nbusy);
    for (int r = 0; r < RUNS; ++r) {
        double t[2];
        for (int k = 0; k < 2; ++k) {
            const int one = (k + r) % 2;  // alternate which runs first
            omp_set_num_threads(one ? 1 : threads);
            load(cubeMesh);
            const auto a = Clock::now();
            wholeRun(classicRun, con[one], rep[one]);
            t[one] = seconds(a, Clock::now());
        }
        omp_set_num_threads(threads);
        check(rep[0] == rep[1] && masked(con[0]) == masked(con[1]), "report or console differ");
        tdef.push_back(t[0]);
        tone.push_back(t[1]);
        ratio.push_back(t[0] / t[1]);
        std::printf("  %4d %20.3f s %10.3f s %8.3f\n", r + 1, t[0], t[1], t[0] / t[1]);
        std::fflush(stdout);
    }
    stop(pids);
    std::printf("  median of %d pairs: %.3f s and %.3f s; default / one thread = %.3f\n", RUNS,
                median(tdef), median(tone), median(ratio));
}

const char* const BENCHUSAGE = R"(telma-bench: times each phase of telma against its plain reference

Usage: telma-bench [--quick] [--runs N] [--only influ|assembly|sweep|points|run]
                   [--write-input FILE]
       telma-bench --load=0|1|per-core [--runs N]
       telma-bench --solvers [--runs N]
       telma-bench --large[=NAME,...] [--runs N]
       telma-bench --mpi=P [--runs N]
  --quick              one round instead of three
  --runs N             N rounds; the medians are printed
  --only PHASE         time one phase only
  --write-input FILE   write the 4600-element problem with 7000 internal
                       points to FILE and end
  --load=L             only the whole run of the cube, with the default
                       threads and with one thread in turn (N pairs, 5
                       unless --runs says), beside L busy processes: 0, 1,
                       or one per core; prints the ratio of the two times
  --solvers            only the whole run of the cube with gs, lu and hmat
                       in turn: the median time of each phase, and the
                       largest difference of U, Q and FLUX from gs relative
                       to the largest magnitude (1e-6 at most)
  --large[=NAMES]      only the large problems, solved by the telma program
                       with --solver=hmat, one run each unless --runs says:
                       sphere5, sphere6, sphere7 (spheres of radius 1 in
                       20,480, 81,920 and 327,680 triangles), sphere5-tol6
                       and sphere6-tol6 (the first two with --tol=1e-6), sphere8
                       (1,310,720 triangles, with --tol=1e-6) and cube129 (the
                       unit cube in 99,846 squares), all of them or those
                       named (comma-separated); prints each phase, the peak
                       memory and its bytes per element, the iterations and
                       the capacitance against the exact value (1, and
                       0.6606785 for the cube)
  --mpi=P              only the spheres of 20,480 and 81,920 triangles by
                       telma --solver=hmat on 1 process of 2 threads, 1 of 1,
                       and P processes of 1 thread (mpirun), one run each
                       unless --runs says: the phases, the largest process's
                       peak memory, the iterations and the largest difference
                       of U, Q and FLUX from the first
  --help, --version    show this help, or the version, and end
Exit status: 0 all results the same bit for bit (with --solvers: within
1e-6 of gs; with --large and --mpi: every problem solved), 1 a mismatch or a failed
solve, 2 a bad command line.
)";

}  // namespace

int main(int argc, char** argv) {
    std::string writeInput, only;
    int load = -1;  // busy processes of --load, -1: none asked for
    bool runsGiven = false, solvers = false, large = false;
    int mpi = 0;  // processes of --mpi, 0: none asked for
    std::string larges;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help")) {
            std::fputs(BENCHUSAGE, stdout);
            return 0;
        } else if (!std::strcmp(argv[i], "--version")) {
            std::puts("telma-bench " TELMA_VERSION);
            return 0;
        } else if (!std::strcmp(argv[i], "--quick"))
            RUNS = 1;
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc && std::atoi(argv[i + 1]) >= 1) {
            RUNS = std::atoi(argv[++i]);
            runsGiven = true;
        } else if (!std::strcmp(argv[i], "--load=0") || !std::strcmp(argv[i], "--load=1"))
            load = argv[i][7] - '0';
        else if (!std::strcmp(argv[i], "--load=per-core"))
            load = omp_get_num_procs();
        else if (!std::strcmp(argv[i], "--solvers"))
            solvers = true;
        else if (!std::strcmp(argv[i], "--large") || !std::strncmp(argv[i], "--large=", 8)) {
            large = true;
            larges = argv[i][7] ? argv[i] + 8 : "";
        }
        else if (!std::strncmp(argv[i], "--mpi=", 6) && std::atoi(argv[i] + 6) >= 2)
            mpi = std::atoi(argv[i] + 6);
        else if (!std::strcmp(argv[i], "--write-input") && i + 1 < argc)
            writeInput = argv[++i];
        else if (!std::strcmp(argv[i], "--only") && i + 1 < argc)
            only = argv[++i];
        else {
            std::fprintf(stderr, "telma-bench: unknown option or missing value \"%s\"\n\n%s", argv[i], BENCHUSAGE);
            return 2;
        }
    }
    if (!writeInput.empty()) {
        const tmesh::Mesh m = box("Box of rectangles, exterior problem", 20, 30, 34, NIPMAX, 2.0);
        std::ofstream out(writeInput, std::ios::binary);
        tmesh::writeDataFile(out, m);
        out.flush();
        if (!out) {
            std::fprintf(stderr, "telma-bench: cannot write %s\n", writeInput.c_str());
            return 1;
        }
        std::printf("%s: %zu elements, %zu internal points\n", writeInput.c_str(), m.el.size(), m.ip.size());
        return 0;
    }
    if (load >= 0) {
        if (!runsGiven) RUNS = 5;
        char what[64];
        std::snprintf(what, sizeof what, "%d busy process%s", load,
                      load == 0 ? "es" : load == 1 ? "" : "es (one per core)");
        benchLoaded(load, what);
        return failures ? 1 : 0;
    }
    if (mpi > 0) {
        if (!runsGiven) RUNS = 1;
        benchMpi(mpi);
        return failures ? 1 : 0;
    }
    if (large) {
        if (!runsGiven) RUNS = 1;
        benchLarge(larges);
        return failures ? 1 : 0;
    }
    std::printf("telma-bench: %d thread(s), medians of %d run(s)\n", omp_get_max_threads(), RUNS);
    if (solvers) {
        benchSolvers();
        std::printf("\n%s\n", failures ? "MISMATCHES FOUND" : "lu and hmat within 1e-6 of gs");
        return failures ? 1 : 0;
    }
    const auto t0 = Clock::now();
    auto want = [&](const char* phase) { return only.empty() || only == phase; };
    if (want("influ")) benchInflu();
    if (want("assembly") || want("sweep")) benchAssembly();  // the sweeps use its matrix
    if (want("sweep")) benchSweeps();
    if (want("points")) benchPoints();
    if (want("run")) benchWholeRun();
    std::printf("\n%s (%.0f s)\n", failures ? "MISMATCHES FOUND" : "all results bit for bit the same",
                seconds(t0, Clock::now()));
    return failures ? 1 : 0;
}
