// A study may use the window model: this one must compile.
#include "model/window.hpp"
#include "study/studies/sweep.hpp"
