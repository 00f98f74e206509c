// The window model knows nothing of the studies built on it.
#include "study/case_input/case_file.hpp"
