// The window model knows nothing of session scripts.
#include "session/session.hpp"
