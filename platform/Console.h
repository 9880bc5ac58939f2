#pragma once

// Lets a program without a console window of its own (a Windows GUI program)
// answer on the terminal it was started from: --version, --check and --list
// print there. Does nothing where output already has a place.
void UseParentConsole();
