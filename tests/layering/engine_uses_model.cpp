// The formulas know nothing of the window.
#include "model/window.hpp"
