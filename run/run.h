// run.h - the run flow: the banner, the usage text and the fixed order of a run
//
// Only run.cpp, at the top of the program, includes this header.
#pragma once

// The banner, to standard output or standard error by OptBannerToStdout.
void PrintBanner();

// The usage text, with its pause for ENTER.
void PrintUsage();

// Runs the program on its command line; returns the exit status (always 0).
int RunProgram(int argc, char** argv);
