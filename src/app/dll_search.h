// Start-up hardening against DLL planting: a program started from a download folder must not
// load a library that someone placed beside it or in the current directory.
#pragma once

// Restricts the search for libraries loaded by name to the system directory where the system
// offers it (Windows 8, and Windows Vista and 7 with their update), and takes the current
// directory out of the search everywhere it can (Windows XP SP1 and later). Both calls are looked
// up at run time, since older systems lack them. Call it before anything loads a library.
void RestrictDllSearchPath();
