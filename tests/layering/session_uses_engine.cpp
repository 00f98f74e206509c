// Replay speaks the window model; the formulas are the model's own business.
#include "engine/rating.hpp"
