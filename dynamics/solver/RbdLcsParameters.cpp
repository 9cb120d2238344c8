// Default solver parameters of a world.
#include <kelmar/RbdLcs.h>
#include <kelmar/RbdWorld.h>
#include "solver/RbdLcsTypes.h"

int32_t RbdLcsQueryCPUResources(void)
{
    return 0;
}

void RbdLcsParametersReset(RbdLcsParameters *parameters)
{
    parameters->stepsize = 0.015;
    parameters->epsilon = 1e-6;
    parameters->gamma = 0.12;
    parameters->maxCorrectingVelocity = RBD_DEFAULT_MAX_CORRECTING_VELOCITY;
    parameters->maxCorrectingRate = RBD_DEFAULT_MAX_CORRECTING_RATE;
    parameters->stepperModel = 2;
    parameters->stepperOptions = 0;
    parameters->lcp.solverFunction = 1;
    parameters->lcp.maxIterations = 35;
    parameters->lcp.maxBlockIterations = 20;
    parameters->lcp.maxCycleSize1 = 10;
    parameters->lcp.maxCycleSize2 = 3;
    parameters->lcp.tolerance = 0.001;
    parameters->lcp.degeneracyFilter = 1.01;
    parameters->lcp.cycleDetection = 1;
    parameters->lcp.warmStart = 0;
    parameters->lcp.largeIslandSolver = RBD_LCP_LARGE_ISLAND_ITERATIVE;
    parameters->lcp.largeIslandRows = RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS;
    parameters->lcp.iterations = RBD_LCP_DEFAULT_ITERATIONS;
    parameters->lcp.boxIsland = 1;
    parameters->workspace = nullptr;
    parameters->workspaceSize = 0;
    parameters->cpuResources = RbdLcsQueryCPUResources();
    parameters->linearSolver = RBD_LINEAR_SOLVER_BLOCK_CHOLESKY;
}
