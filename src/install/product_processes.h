// The product's running programs: which process names belong to it, the check made before an
// installation, ending them when the user agrees, and starting the installed main program.
#pragma once

#include <string>

// When the player keeps running at start-up it is looked up again at once, at most this many
// times in all, so that a player on its way out is not taken for a running one.
inline constexpr int kPlayerLookupLimit = 5000;

// True when the main program runs, or when the player is listed: the main program is looked up
// once, then the player until a lookup no longer finds it or `playerLookups` lookups are made.
bool IsProductOrPlayerRunning(int playerLookups = kPlayerLookupLimit);

// Ends the first running main program and every running player, first listed first. Returns when
// no player is listed any more, or when the players still listed survived every termination
// request (the loop is bounded: TerminateProcessesByName).
void TerminateProductProcesses();

// Starts the main program in `installDir` ("open" on the desktop window, shown normally) unless a
// process of its name runs. Neither waits for it nor looks at the result: a program that cannot
// be started leaves the installation as it is.
void StartMainProgramUnlessRunning(const std::string& installDir);
