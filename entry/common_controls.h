// Binds the common controls at run time (see common_controls.cpp).
#pragma once

#include "pages.h"

// Loads comctl32 from System32, initialises the controls and returns its
// PropertySheetA; null if the DLL or either function is missing.
ShowPropertySheet bindCommonControls();
