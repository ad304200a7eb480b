// main.cpp - QuorVBoy's entry point
#include "run/run.h"

int main(int argc, char** argv)
{
    return RunProgram(argc, argv);
}
