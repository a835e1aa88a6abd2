// The "C" locale, for the *_l forms of the C runtime's number reading, case folding and
// character tests: a library may change the process locale, and settings and script files
// always write '.' as the decimal point.
#pragma once

#include <locale.h>

// Created on first use and kept for the life of the process; a failure to create it stops the
// program.
locale_t cLocale();
