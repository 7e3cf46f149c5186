#pragma once
// Loops over the points of a bin, compiled twice: for AVX2 and for any x86-64,
// the form picked when the program loads. Both give the same bits:
//  - neither form fuses a multiply with an add (AVX2 alone brings no FMA);
//  - a division, multiplication or addition rounds alike in every lane.
// Without trapping math the compiler may compute both sides of a select,
// so that a division guarded by a select vectorises. That changes only which
// floating-point exception flags get raised, never a value.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#define LS_POINT_LOOPS                                                                             \
    __attribute__((target_clones("avx2", "default"), optimize("no-trapping-math")))
// For a function whose callees from headers are inlined into it, with the
// trapping math of its callees: a function compiled with other optimisation
// options than its callees cannot take them inline.
#define LS_POINT_LOOPS_FLATTEN __attribute__((target_clones("avx2", "default"), flatten))
#else
#define LS_POINT_LOOPS
#define LS_POINT_LOOPS_FLATTEN
#endif
