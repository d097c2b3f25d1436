#pragma once
// The host's command line, system variables, module names and resource instances.

#include <filesystem>

#include "adsdef.h"
#include "rxregsvc.h"

// Prints on the command line, printf-style; "\n" starts a new line.
int acutPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Asks on the command line. With allowSpaces non-zero the answer is the rest of the line,
// else the next word. RTNORM, RTCAN when the input ended, RTERROR for a bad argument.
// `result` holds at least 133 bytes; longer answers are cut.
int acedGetString(int allowSpaces, const char* prompt, char* result);
int acedGetInt(const char* prompt, int* result);

// System variables: a short as RTSHORT, a string as RTSTR (the caller frees the copy with
// acutDelString), a real as RTREAL. RTNORM, or RTERROR for an unknown variable or a value
// that is refused.
int acedGetVar(const char* name, resbuf* result);
int acedSetVar(const char* name, const resbuf* value);

// Runs a host command as if typed: acedCommand(RTSTR, "mspace", RTNONE). The command's own
// prompts read the command line. RTNORM when it ran and succeeded; RTERROR for an unknown or
// failed command, and for anything after the command name (refused, nothing runs).
int acedCommand(int type, ...);

// The host path of the module being initialised or whose command runs; "" otherwise.
const char* acedGetAppName();

// The host's own resource instance.
HINSTANCE acedGetAcadResourceInstance();
// The native folder that holds a resource instance's files (bitmaps, icons, help).
std::filesystem::path acedResourceFolder(HINSTANCE instance);

// Opens a drawing synchronously (single-document mode replaces the open one). RTNORM or
// RTERROR.
int acedSyncFileOpen(const char* fileName, const char* password = nullptr);
