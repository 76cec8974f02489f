// The processes of a run started by a launcher: who they are, how they share
// out places and gather them, and how they stop together (see hmat.hpp and
// hmlib.hpp).
#include <fcntl.h>
#include <petscsys.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "solver/hmat/hmlib.hpp"
#include "solver/summary.hpp"

namespace telma {

namespace {

// Where the processes stand towards the shared solve: not yet met, met all
// (sharing it), met after a failure, parted (PETSc has ended).
enum class MEETING { BEFORE, SHARING, FAILED, PARTED };
MEETING AT = MEETING::BEFORE;

// The standard error this process was started with (kept by QUIET).
int ERRFD = 2;

// AGREE: the lowest rank of the processes whose OK is false, NPROC when
// there is none; every process of the run calls it once.
int AGREE(bool OK) {
    int mine = OK ? NPROC : MYPROC, lowest = mine;
    if (NPROC > 1) MPI_Allreduce(&mine, &lowest, 1, MPI_INT, MPI_MIN, PETSC_COMM_WORLD);
    return lowest;
}

void say(const std::string& line) {
    const std::string text = line + "\n";
    if (write(ERRFD, text.data(), text.size()) < 0) return;  // nowhere left to say it
}

}  // namespace

bool LAUNCHED() {
    // OpenMPI's launcher, and the PMI of the others
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMIX_SIZE"})
        if (const char* v = std::getenv(name); v && std::atoi(v) > 1) return true;
    return false;
}

void PEERSTOP(const std::string& WHY) {
    const std::string who = "telma: process " + std::to_string(MYPROC + 1) + " of " + std::to_string(NPROC) + ": ";
    switch (AT) {
    case MEETING::BEFORE: {
        AT = MEETING::FAILED;
        const int first = AGREE(false);
        if (first == MYPROC) say(MYPROC == 0 ? "telma: " + WHY : who + WHY);
        break;
    }
    case MEETING::FAILED:
    case MEETING::PARTED:
        if (MYPROC == 0) say("telma: " + WHY);
        break;
    case MEETING::SHARING:
        say(who + WHY);
        MPI_Abort(PETSC_COMM_WORLD, 1);
        break;
    }
}

double PEAKALL() {
    double mine = PEAKMB(), most = mine;
    if (NPROC > 1) MPI_Allreduce(&mine, &most, 1, MPI_DOUBLE, MPI_MAX, PETSC_COMM_WORLD);
    return most;
}

namespace hm {

void QUIET() {
    if (MYPROC == 0) return;
    const int null = open("/dev/null", O_WRONLY);
    ERRFD = dup(2);
    if (null < 0 || ERRFD < 0) return;  // then all speak
    std::fflush(stdout);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
}

void LEAVE() { AT = MEETING::PARTED; }

void ENTER() {
    if (NPROC == 1 || AT != MEETING::BEFORE) return;
    const int first = AGREE(true);
    if (first < NPROC) {
        AT = MEETING::FAILED;
        throw PEERFAIL("process " + std::to_string(first + 1) + " of " + std::to_string(NPROC) +
                       " failed before the solve");
    }
    AT = MEETING::SHARING;
}

PROCS procs(MPI_Comm comm) {
    PROCS p{comm, 1, 0};
    MPI_Comm_size(comm, &p.SIZE);
    MPI_Comm_rank(comm, &p.RANK);
    return p;
}

void SHAREV(double* V, int N, const PROCS& PR) {
    if (PR.SIZE == 1) return;
    std::vector<int> count(PR.SIZE), at(PR.SIZE);
    for (int p = 0; p < PR.SIZE; ++p) {
        at[p] = FIRSTOF(N, p, PR.SIZE);
        count[p] = FIRSTOF(N, p + 1, PR.SIZE) - at[p];
    }
    if (MPI_Allgatherv(MPI_IN_PLACE, 0, MPI_DATATYPE_NULL, V, count.data(), at.data(), MPI_DOUBLE, PR.COMM) !=
        MPI_SUCCESS)
        throw std::runtime_error("MPI failed in MPI_Allgatherv");
}

void SUMALL(double* V, int N, const PROCS& PR) {
    if (PR.SIZE > 1 && MPI_Allreduce(MPI_IN_PLACE, V, N, MPI_DOUBLE, MPI_SUM, PR.COMM) != MPI_SUCCESS)
        throw std::runtime_error("MPI failed in MPI_Allreduce");
}

double SUMALL(double V, const PROCS& PR) {
    SUMALL(&V, 1, PR);
    return V;
}

}  // namespace hm

}  // namespace telma
