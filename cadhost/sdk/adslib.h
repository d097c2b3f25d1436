#pragma once
// Everything a module that talks to the command line needs, in one include: result buffers
// and codes, their allocation, prompts, printing, system variables and the command stack.

#include "aced.h"
#include "acutads.h"
#include "adsdef.h"
