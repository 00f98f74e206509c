// log and pow bit for bit as the native build's C library computes them, for the WebAssembly
// page, whose own C library computes them differently in the last bit of about one result in a
// thousand.
//
// The native build runs on x86-64 with the GNU C library (2.28 or later), which picks, on a
// processor with fused multiply-add, the Arm optimized-routines algorithms compiled with fused
// multiply-adds: the explicit ones of the algorithm and those its compiler formed from a product
// followed by a sum. Here every one of them is written out as std::fma, which is exact
// everywhere (in WebAssembly a software routine), so the results do not depend on the compiler
// or the processor. On a processor without fused multiply-add the GNU C library runs a variant
// without them, whose last bits differ; the native results themselves depend on that.
//
// sin and atan are left to the WebAssembly C library, whose results differ from the native ones
// in the last bit of a few percent of arguments: they feed only the terms of the crossflow
// series, each rounded to single precision, so such a difference reaches a result only where it
// carries a term across a single-precision rounding boundary, about once in 10^9 runs.
#pragma once

namespace aph::web {

double nativeLog(double x);
double nativePow(double x, double y);

}  // namespace aph::web
