// Session scripts know nothing of the studies.
#include "study/sweep.hpp"
