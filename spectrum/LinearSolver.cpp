#include "spectrum/LinearSolver.h"

// The background fits' instance, compiled once here.
template class LinearSolverN<4>;
