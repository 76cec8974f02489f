// PETSc for the program, and its restarted GMRES on an operator given by its
// product (see hmlib.hpp).  Every PETSc call's error code is checked.
#include <petscksp.h>

#include <cmath>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>

#include "solver/hmat/hmlib.hpp"

// The leak checker of a sanitized build, where there is one: what the MPI
// runtime allocates as PETSc starts and ends it (components it loads and
// unloads) is not this program's to free.
extern "C" __attribute__((weak)) void __lsan_disable();
extern "C" __attribute__((weak)) void __lsan_enable();

namespace telma {

PETSCRUN::PETSCRUN() {
    // Outside a launcher, a process of its own needs no daemon and no
    // transport but to itself; settings the user made are kept.
    if (!std::getenv("OMPI_COMM_WORLD_SIZE")) {
        setenv("OMPI_MCA_ess_singleton_isolated", "1", 0);
        setenv("OMPI_MCA_btl", "self", 0);
        setenv("OMPI_MCA_pml", "ob1", 0);
    }
    static char name[] = "telma", skip[] = "-skip_petscrc", nosig[] = "-no_signal_handler";
    static char* args[] = {name, skip, nosig, nullptr};
    int argc = 3;
    char** argv = args;
    if (__lsan_disable) __lsan_disable();
    const PetscErrorCode e = PetscInitialize(&argc, &argv, nullptr, nullptr);
    if (__lsan_enable) __lsan_enable();
    hm::PCHECK(e, "PetscInitialize");
    // Errors come back as codes, to be said once in the program's words.
    hm::PCHECK(PetscPushErrorHandler(PetscReturnErrorHandler, nullptr), "PetscPushErrorHandler");
    MPI_Comm_size(PETSC_COMM_WORLD, &NPROC);
    MPI_Comm_rank(PETSC_COMM_WORLD, &MYPROC);
    // those that share this machine's memory
    MPI_Comm here;
    if (MPI_Comm_split_type(PETSC_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &here) == MPI_SUCCESS) {
        MPI_Comm_size(here, &NPHERE);
        MPI_Comm_free(&here);
    }
    hm::QUIET();
}

void PETSCRUN::end() {
    if (ended) return;
    ended = true;
    hm::LEAVE();
    hm::PCHECK(PetscPopErrorHandler(), "PetscPopErrorHandler");
    if (__lsan_disable) __lsan_disable();
    const PetscErrorCode e = PetscFinalize();
    if (__lsan_enable) __lsan_enable();
    hm::PCHECK(e, "PetscFinalize");
}

PETSCRUN::~PETSCRUN() {
    // After a failure elsewhere, or a failure of end itself: nothing more to say.
    if (!ended) {
        ended = true;
        PetscFinalize();
    }
}

namespace hm {

void PCHECK(int CODE, const char* WHAT) {
    if (CODE == 0) return;
    const char* text = nullptr;
    PetscErrorMessage(CODE, &text, nullptr);
    throw std::runtime_error(std::string("PETSc failed in ") + WHAT + ": " + (text ? text : "unknown error") +
                             " (error " + std::to_string(CODE) + ")");
}

MPI_Comm PCOMM(int COMM) {
    PetscBool up = PETSC_FALSE;
    PCHECK(PetscInitialized(&up), "PetscInitialized");
    if (!up) throw std::logic_error("PETSc was not started before the compressed solve");
    const MPI_Comm c = COMM == WORLD ? PETSC_COMM_WORLD : MPI_Comm_f2c(COMM);
    return c;
}

namespace {

// Basis vectors kept before a restart.
constexpr int RESTART = 100;

// One solve: the operator, the exception its maps threw (rethrown once
// PETSc has returned), and the console's numbering of the iterations.
struct CALL {
    const LINOP* A;
    std::exception_ptr thrown;
    double bnorm;
    int before;
};

// Y = MAP(X) for one of the operator's two maps, on PETSc's vectors.
PetscErrorCode apply(CALL& c, bool precondition, Vec x, Vec y) {
    const PetscScalar* xa;
    PetscScalar* ya;
    PetscCall(VecGetArrayRead(x, &xa));
    PetscCall(VecGetArray(y, &ya));
    try {
        (precondition ? c.A->PREC : c.A->MULT)(c.A->CTX, xa, ya);
    } catch (...) {
        c.thrown = std::current_exception();
    }
    PetscCall(VecRestoreArray(y, &ya));
    PetscCall(VecRestoreArrayRead(x, &xa));
    return c.thrown ? PETSC_ERR_USER : 0;
}

PetscErrorCode shellMult(Mat M, Vec x, Vec y) {
    void* c;
    PetscCall(MatShellGetContext(M, &c));
    return apply(*static_cast<CALL*>(c), false, x, y);
}

PetscErrorCode prec(PC pc, Vec x, Vec y) {
    void* c;
    PetscCall(PCShellGetContext(pc, &c));
    return apply(*static_cast<CALL*>(c), true, x, y);
}

// One console line per iteration, numbered on from the iterations of
// earlier calls, the residual relative to ||B||.
PetscErrorCode monitor(KSP, PetscInt it, PetscReal rnorm, void* c) {
    const CALL& w = *static_cast<const CALL*>(c);
    if (it > 0)
        textio::console().write("(' GMRES iter :',i5,'  Rel. residual :',1Pe10.3)",
                                {w.before + static_cast<int>(it), w.bnorm > 0.0 ? rnorm / w.bnorm : rnorm});
    return 0;
}

// PETSc's objects of one solve: destroyed by destroy(), every failure said,
// or, when the solve is left by an exception, by the destructor (a null one
// is skipped by its destroyer).
struct OBJECTS {
    Vec b = nullptr, x = nullptr;
    Mat M = nullptr;
    KSP ksp = nullptr;
    void destroy() {
        PCHECK(KSPDestroy(&ksp), "KSPDestroy");
        PCHECK(MatDestroy(&M), "MatDestroy");
        PCHECK(VecDestroy(&x), "VecDestroy");
        PCHECK(VecDestroy(&b), "VecDestroy");
    }
    ~OBJECTS() {
        KSPDestroy(&ksp);
        MatDestroy(&M);
        VecDestroy(&x);
        VecDestroy(&b);
    }
};

}  // namespace

bool GMRES(const LINOP& A, const double* B, double* X, double EPS, int MAXIT, int COMM, int& NIT,
           double& RES) {
    const PROCS PR = procs(PCOMM(COMM));
    const MPI_Comm comm = PR.COMM;
    const PetscInt N = A.N;
    double bnorm = 0.0;
    for (PetscInt I = 0; I < N; ++I) bnorm += B[I] * B[I];
    bnorm = std::sqrt(SUMALL(bnorm, PR));
    CALL call{&A, nullptr, bnorm, NIT};
    OBJECTS o;
    if (PR.SIZE == 1) {
        PCHECK(VecCreateSeqWithArray(comm, 1, N, B, &o.b), "VecCreateSeqWithArray");
        PCHECK(VecCreateSeqWithArray(comm, 1, N, X, &o.x), "VecCreateSeqWithArray");
    } else {
        PCHECK(VecCreateMPIWithArray(comm, 1, N, PETSC_DETERMINE, B, &o.b), "VecCreateMPIWithArray");
        PCHECK(VecCreateMPIWithArray(comm, 1, N, PETSC_DETERMINE, X, &o.x), "VecCreateMPIWithArray");
    }
    PCHECK(MatCreateShell(comm, N, N, PETSC_DETERMINE, PETSC_DETERMINE, &call, &o.M), "MatCreateShell");
    PCHECK(MatShellSetOperation(o.M, MATOP_MULT, reinterpret_cast<void (*)(void)>(shellMult)), "MatShellSetOperation");
    PCHECK(KSPCreate(comm, &o.ksp), "KSPCreate");
    KSP ksp = o.ksp;
    PCHECK(KSPSetOperators(ksp, o.M, o.M), "KSPSetOperators");
    PCHECK(KSPSetType(ksp, KSPGMRES), "KSPSetType");
    PCHECK(KSPGMRESSetRestart(ksp, RESTART), "KSPGMRESSetRestart");
    PCHECK(KSPGMRESSetCGSRefinementType(ksp, KSP_GMRES_CGS_REFINE_IFNEEDED), "KSPGMRESSetCGSRefinementType");
    PC pc;
    PCHECK(KSPGetPC(ksp, &pc), "KSPGetPC");
    if (A.PREC) {
        PCHECK(PCSetType(pc, PCSHELL), "PCSetType");
        PCHECK(PCShellSetContext(pc, &call), "PCShellSetContext");
        PCHECK(PCShellSetApply(pc, prec), "PCShellSetApply");
    } else {
        PCHECK(PCSetType(pc, PCNONE), "PCSetType");
    }
    // Right preconditioning: the residual GMRES minimises is that of A x = B.
    PCHECK(KSPSetPCSide(ksp, PC_RIGHT), "KSPSetPCSide");
    PCHECK(KSPSetNormType(ksp, KSP_NORM_UNPRECONDITIONED), "KSPSetNormType");
    PCHECK(KSPSetTolerances(ksp, EPS, 0.0, PETSC_DEFAULT, MAXIT), "KSPSetTolerances");
    PCHECK(KSPSetInitialGuessNonzero(ksp, PETSC_TRUE), "KSPSetInitialGuessNonzero");
    PCHECK(KSPMonitorSet(ksp, monitor, &call, nullptr), "KSPMonitorSet");
    const PetscErrorCode e = KSPSolve(ksp, o.b, o.x);
    if (call.thrown) std::rethrow_exception(call.thrown);
    PCHECK(e, "KSPSolve");
    KSPConvergedReason reason;
    PCHECK(KSPGetConvergedReason(ksp, &reason), "KSPGetConvergedReason");
    PetscInt its;
    PCHECK(KSPGetIterationNumber(ksp, &its), "KSPGetIterationNumber");
    PetscReal rn;
    PCHECK(KSPGetResidualNorm(ksp, &rn), "KSPGetResidualNorm");
    o.destroy();
    NIT += static_cast<int>(its);
    RES = bnorm > 0.0 ? rn / bnorm : rn;
    return reason > 0;
}

}  // namespace hm

}  // namespace telma
