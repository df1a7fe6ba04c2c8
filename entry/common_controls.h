// Binds the common controls at run time (see common_controls.cpp).
#pragma once

// Loads comctl32 from System32, points InitCommonControls and PropertySheetA
// at it and initialises the controls. False if the DLL or either function is
// missing; then neither function may be called.
bool bindCommonControls();
