// Linked into test programs: invalid operations and divisions by zero stop the program at once,
// so no stage can compute a NaN or an infinity that a later check merely happens to catch.
#include <cfenv>

namespace {

struct TrapFloatingPointFaults {
  TrapFloatingPointFaults() { feenableexcept(FE_INVALID | FE_DIVBYZERO); }
};

const TrapFloatingPointFaults trap;

}  // namespace
