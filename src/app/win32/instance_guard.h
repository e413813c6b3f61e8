// The single-instance guard and the command channel between a second start
// and the instance that already runs, on the names and the block of
// app/single_instance.h. All of it runs on the main thread.
#pragma once

#include <windows.h>

// Builds the names for `modulePath` (empty: a fixed name, see
// kUnknownPathInstanceName) and looks for a running instance: 1 when one runs
// and answered, -1 when one runs but held its lock for 1000 ms, 0 when none.
// An event under the name that another user made (guard_owner.h) is none.
int ProbeRunningInstance(const wchar_t* modulePath);

// First start: publishes the lock event, the shared block and the channel
// window, whose procedure passes each pending text to the application's
// OnForwardedCommand. Always 0: without the event (its name is another's) or
// the block the instance runs on, just deaf to second starts.
int OpenCommandChannel();

// Withdraws what OpenCommandChannel published; nothing when it did not run.
void CloseCommandChannel();

// Second start: hands `text` (UTF-8) to the running instance if its block is
// free; longer texts are cut to fit. The outcome is not reported.
void ForwardCommand(const char* text);
