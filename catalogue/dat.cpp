// dat.cpp - placeholder until the readers land
#include "catalogue/dat.h"

int ReadDat(const std::string&, const std::string&, std::string*, std::string*, std::string* reason)
{
    *reason = "not supported yet";
    return 0;
}
