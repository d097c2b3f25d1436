#pragma once
// Allocation of result buffers and strings the caller owns.
//
// Strings held by a buffer of a string type (RTSTR, the DXF text codes such as 1000..1003,
// 1005) and binary chunks (1004, 310..319) belong to the buffer: acutRelRb frees them with
// free(), so they must come from acutNewString or malloc.

#include "acadstrc.h"
#include "adsdef.h"

// A zeroed buffer of the given type; null when out of memory.
resbuf* acutNewRb(int type);
// Releases the whole chain with the strings and binary chunks it owns; RTNORM.
int acutRelRb(resbuf* chain);
// A malloc'ed copy of `input` (null stays null).
Acad::ErrorStatus acutNewString(const char* input, char*& output);
void acutDelString(char*& string);

// True for types whose value is resval.rstring.
bool acutRbHoldsString(int type);
// True for types whose value is resval.rbinary.
bool acutRbHoldsBinary(int type);

// Whether `string` matches `pattern`: '*' any run of characters, '?' any one, a comma between
// alternatives ("A*,B?"). Letter case is ignored, as the host compares names. RTNORM when it
// matches, RTERROR when not.
int acutWcMatch(const char* string, const char* pattern);
