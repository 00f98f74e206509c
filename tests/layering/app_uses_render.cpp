// The window opens and saves case files through the studies, but draws nothing of theirs: the
// charts and the datasheet belong to the batch tool.
#include "render/chart.hpp"
