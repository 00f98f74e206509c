// The programs reach the formulas only through the window model and the studies.
#include "engine/properties.hpp"
