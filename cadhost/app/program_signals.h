#pragma once
// Signals of the host program's command line. At a terminal, Ctrl+C (SIGINT) cancels the
// running command instead of ending the program. SIGTERM and SIGHUP (a closed terminal) end
// it without losing unsaved work: each modified drawing is first written beside itself as
// <name>.sv$, and standard error says where.
//
// The handlers do nothing but note the signal and write a byte to a pipe, which is
// async-signal-safe. A watcher thread reads that pipe and does the work of SIGTERM and SIGHUP.
// The drawings belong to the main thread, which holds the host lock all the time except while
// it waits for input; the watcher takes the lock before it writes the recovery copies, so it
// never sees a drawing halfway through a command, and the main thread does not go on once an
// ending signal came. A long command is thus let finish, or reach its next prompt, first; a
// second SIGTERM or SIGHUP ends the program at once.

namespace cadhost::app {

// Installs the handlers and starts the watcher, for the rest of the process; Ctrl+C cancels
// commands when `cancelOnInterrupt` (at a terminal), else it keeps its usual meaning.
void handleProgramSignals(bool cancelOnInterrupt);

// While it lives, the main thread waits for input, and an ending signal may be acted on. When
// one came, the destructor does not return: the watcher ends the program.
class WaitingForInput {
  public:
    WaitingForInput();
    ~WaitingForInput();
    WaitingForInput(const WaitingForInput&) = delete;
    WaitingForInput& operator=(const WaitingForInput&) = delete;
};

// Held by code that runs on the main thread while it waits for input (completion reads the
// drawing): the watcher does not write recovery copies meanwhile.
class HostLock {
  public:
    HostLock();
    ~HostLock();
    HostLock(const HostLock&) = delete;
    HostLock& operator=(const HostLock&) = delete;
};

// Readable after Ctrl+C, and when the program continues after a stop (Ctrl+Z): a line editor
// waits on it beside the terminal. -1 when Ctrl+C is not handled.
int interruptDescriptor();
// True once for each Ctrl+C since the last call; empties the descriptor.
bool takeInterrupt();
// True once each time the program continued after a stop since the last call.
bool takeResumed();

// The terminal went away (its input ended): ends the program as SIGHUP does. Called while
// waiting for input; does not return.
[[noreturn]] void endWithLostTerminal();

}  // namespace cadhost::app
