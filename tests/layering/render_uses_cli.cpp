// Drawing serves the programs, never the other way round.
#include "cli/commands.hpp"
