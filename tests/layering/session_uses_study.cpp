// Session scripts know nothing of the studies.
#include "study/studies/sweep.hpp"
