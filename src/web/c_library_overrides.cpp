// In the WebAssembly build, every call of log and pow (std::log and std::pow in the engine
// included) resolves to the native build's algorithms instead of the C library's own: the
// linker takes these definitions before it looks into the C library.
#include "web/native_math.hpp"

extern "C" double log(double x) {
  return aph::web::nativeLog(x);
}

extern "C" double pow(double x, double y) {
  return aph::web::nativePow(x, y);
}
