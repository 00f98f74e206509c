// The window may use the case-file code of the studies: this must compile.
#include "app/main_form.hpp"
#include "study/case_input/window_files.hpp"
