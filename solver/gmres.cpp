// Restarted GMRES of PETSc on an operator given by its product.
#include <petscksp.h>

#include <cmath>
#include <cstdlib>

#include "solver/hmat.hpp"

// The leak checker of a sanitized build, where there is one: what the MPI
// runtime allocates as PETSc starts it (components it loads and unloads)
// is not this program's to free.
extern "C" __attribute__((weak)) void __lsan_disable();
extern "C" __attribute__((weak)) void __lsan_enable();

namespace telma {

namespace {

// Basis vectors kept before a restart.
constexpr int RESTART = 100;

// PETSc for the whole process: started on first use without reading any
// options file and without a parallel launcher (one process of its own),
// its signal handlers left out; finished at the end of the program.
struct PETSC {
    PETSC() {
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
        PetscInitialize(&argc, &argv, nullptr, nullptr);
        if (__lsan_enable) __lsan_enable();
    }
    ~PETSC() { PetscFinalize(); }
};

// Y = MAP(X) for one of the operator's two maps, on PETSc's vectors.
PetscErrorCode apply(void* c, bool precondition, Vec x, Vec y) {
    const LINOP& A = *static_cast<const LINOP*>(c);
    const PetscScalar* xa;
    PetscScalar* ya;
    VecGetArrayRead(x, &xa);
    VecGetArray(y, &ya);
    (precondition ? A.PREC : A.MULT)(A.CTX, xa, ya);
    VecRestoreArray(y, &ya);
    VecRestoreArrayRead(x, &xa);
    return 0;
}

PetscErrorCode mult(Mat M, Vec x, Vec y) {
    void* c;
    MatShellGetContext(M, &c);
    return apply(c, false, x, y);
}

PetscErrorCode prec(PC pc, Vec x, Vec y) {
    void* c;
    PCShellGetContext(pc, &c);
    return apply(c, true, x, y);
}

// One console line per iteration, numbered on from the iterations of
// earlier calls, the residual relative to ||B||.
struct WATCH {
    double bnorm;
    int before;
};

PetscErrorCode monitor(KSP, PetscInt it, PetscReal rnorm, void* c) {
    const WATCH& w = *static_cast<WATCH*>(c);
    if (it > 0)
        textio::console().write("(' GMRES iter :',i5,'  Rel. residual :',1Pe10.3)",
                                {w.before + static_cast<int>(it), w.bnorm > 0.0 ? rnorm / w.bnorm : rnorm});
    return 0;
}

}  // namespace

bool GMRES(const LINOP& A, const double* B, double* X, double EPS, int MAXIT, int& NIT,
           double& RES) {
    static PETSC petsc;
    const PetscInt N = A.N;
    double bnorm = 0.0;
    for (PetscInt I = 0; I < N; ++I) bnorm += B[I] * B[I];
    bnorm = std::sqrt(bnorm);
    Vec b, x;
    VecCreateSeqWithArray(PETSC_COMM_SELF, 1, N, B, &b);
    VecCreateSeqWithArray(PETSC_COMM_SELF, 1, N, X, &x);
    Mat M;
    MatCreateShell(PETSC_COMM_SELF, N, N, N, N, const_cast<LINOP*>(&A), &M);
    MatShellSetOperation(M, MATOP_MULT, reinterpret_cast<void (*)(void)>(mult));
    KSP ksp;
    KSPCreate(PETSC_COMM_SELF, &ksp);
    KSPSetOperators(ksp, M, M);
    KSPSetType(ksp, KSPGMRES);
    KSPGMRESSetRestart(ksp, RESTART);
    KSPGMRESSetCGSRefinementType(ksp, KSP_GMRES_CGS_REFINE_IFNEEDED);
    PC pc;
    KSPGetPC(ksp, &pc);
    if (A.PREC) {
        PCSetType(pc, PCSHELL);
        PCShellSetContext(pc, const_cast<LINOP*>(&A));
        PCShellSetApply(pc, prec);
    } else {
        PCSetType(pc, PCNONE);
    }
    // Right preconditioning: the residual GMRES minimises is that of A x = B.
    KSPSetPCSide(ksp, PC_RIGHT);
    KSPSetNormType(ksp, KSP_NORM_UNPRECONDITIONED);
    KSPSetTolerances(ksp, EPS, 0.0, PETSC_DEFAULT, MAXIT);
    KSPSetInitialGuessNonzero(ksp, PETSC_TRUE);
    WATCH watch{bnorm, NIT};
    KSPMonitorSet(ksp, monitor, &watch, nullptr);
    KSPSolve(ksp, b, x);
    KSPConvergedReason reason;
    KSPGetConvergedReason(ksp, &reason);
    PetscInt its;
    KSPGetIterationNumber(ksp, &its);
    PetscReal rn;
    KSPGetResidualNorm(ksp, &rn);
    NIT += static_cast<int>(its);
    RES = bnorm > 0.0 ? rn / bnorm : rn;
    KSPDestroy(&ksp);
    MatDestroy(&M);
    VecDestroy(&x);
    VecDestroy(&b);
    return reason > 0;
}

}  // namespace telma
