#pragma once

// `postwatch --list`: what the running copy lists now, printed as --check
// prints it (or, with json, as one object for panels); nothing connects to
// a server. Returns the process's exit code: 3 when no copy runs.
int RunListCommand(int argc, char** argv, bool json);
