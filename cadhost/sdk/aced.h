#pragma once
// The host's command line, system variables, module names and resource instances.

#include <cstddef>
#include <filesystem>

#include "accmd.h"
#include "acutads.h"
#include "adsdef.h"
#include "rxregsvc.h"

// Prints on the command line, printf-style; "\n" starts a new line.
int acutPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Asks on the command line. With allowSpaces non-zero the answer is the rest of the line,
// else the next word. RTNORM, RTCAN when the input ended, RTERROR for a bad argument.
// `result` holds at least 133 bytes; longer answers are cut.
int acedGetString(int allowSpaces, const char* prompt, char* result);
// The same with the size of `result` given: answers up to bufferSize - 1 bytes; a longer
// answer is refused (RTERROR, the command fails) rather than cut.
int acedGetString(int allowSpaces, const char* prompt, char* result, std::size_t bufferSize);
int acedGetInt(const char* prompt, int* result);

// Keywords for the next acedGetKword: a list separated by spaces, each matched by any prefix
// at least as long as its leading capitals ("SElect" by "se", "sel", "select"). With
// RSG_NONULL in `flags` an empty answer is not accepted. RTNORM.
inline constexpr int RSG_NONULL = 0x01;
int acedInitGet(int flags, const char* keywordList);
// Asks for one of the keywords set by acedInitGet (which this call uses up) and copies the
// whole keyword into `result` (at least 133 bytes). RTNORM; RTNONE for an empty answer;
// RTCAN when the input ended, or when an answer matches no keyword in a script or a pipe
// (the command fails, after "Invalid option keyword."); at a terminal it asks again.
int acedGetKword(const char* prompt, char* result);

// Refuses an answer the user gave: prints the message on a line of its own. At a terminal the
// command goes on and may ask again (RTNORM); in a script or from a pipe the command fails, so
// the script stops at its line, and the caller ends the command (RTCAN).
int acedRefuseAnswer(const char* message);

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
