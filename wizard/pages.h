// The four wizard pages' dialog procedures, in the order the wizard shows them.
#pragma once

#include <windows.h>
#include <prsht.h>

INT_PTR CALLBACK welcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK iconPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK pagesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK optionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// comctl32's PropertySheetA, which the installer binds at run time.
using ShowPropertySheet = INT_PTR(WINAPI*)(LPCPROPSHEETHEADERA);

// Runs the modal wizard through showSheet; its result (-1: no window).
int runWizard(ShowPropertySheet showSheet);
