// Studies draw nothing.
#include "render/chart.hpp"
