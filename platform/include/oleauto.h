// Stand-in for the Windows SDK header of the same name: everything lives in
// <windows.h>, which this includes.
#pragma once
#include <windows.h>
