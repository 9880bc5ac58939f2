#pragma once

// `postwatch --check`: one check with the stored settings and accounts,
// through the same engine as Check Now, with no window. Prints one line per
// listed message, then the status texts; returns the process's exit code.
int RunCheckCommand(int argc, char** argv);
