#pragma once
// Eject, beep and pop-up of a finished run, on its worker thread.
#include "copy/JobHost.h"

#include <windows.h>

// The pop-up is owned by owner and holds the calling thread until the user closes it.
void RunCompletionActions(HWND owner, const CompletionRequest& request);
