// Who made a kernel object found under the single-instance guard's names. The
// names live in the session, where any process of the user, elevated or not,
// may create them first: an object an unelevated process made is not the
// mark of a running setup and must not stop an elevated one.
#pragma once

#include <windows.h>

// True when `object` (opened with READ_CONTROL) is owned by this process's
// default owner, by the Administrators group or by SYSTEM, or has no owner
// recorded (Wine records none for an object made without one). False when it
// belongs to anyone else or its owner cannot be read.
bool IsOwnedByUsOrAdministrators(HANDLE object);
