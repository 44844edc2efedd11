// Starting a worker thread the framework's way.
#pragma once

#include "system/win_resource.h"

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

// Starts `proc(param)` on a new thread at once (unless `createFlags` holds CREATE_SUSPENDED). The
// thread owns itself: nobody has to wait for it. The handle returned lets a caller that must know
// when the thread has finished wait for it; dropping it leaves the thread running. Empty when the
// thread could not be created. An exception leaving `proc` ends only the thread, with exit code 1.
UniqueHandle AfxBeginThread(AFX_THREADPROC proc, LPVOID param,
                            int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                            DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
