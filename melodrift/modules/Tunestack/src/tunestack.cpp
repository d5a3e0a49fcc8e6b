// Tunestack.dll: the exports the host looks for (single_window_module.h).
#include "tunestack_window.h"

#include "single_window_module.h"

ORVO_SINGLE_WINDOW_MODULE(tunestack::CTunestackWindow, tunestack::kModuleName)
