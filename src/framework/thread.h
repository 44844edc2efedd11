// Starting a worker thread the framework's way.
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

// Starts `proc(param)` on a new thread at once; the thread's handle is not kept (the thread owns
// itself and nobody waits for it). False when the thread could not be created.
bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                    UINT stackSize = 0, DWORD createFlags = 0,
                    LPSECURITY_ATTRIBUTES security = nullptr);
