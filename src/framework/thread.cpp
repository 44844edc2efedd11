#include "framework/thread.h"

#include "system/win_resource.h"

#include <memory>
#include <process.h>

namespace {

struct ThreadStart {
    AFX_THREADPROC proc;
    LPVOID param;
};

unsigned __stdcall ThreadEntry(void* raw) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
    return start->proc(start->param);
}

}  // namespace

bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize,
                    DWORD createFlags, LPSECURITY_ATTRIBUTES security) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{proc, param});
    // _beginthreadex, not CreateThread: the worker uses the C runtime's file streams.
    UniqueHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(
        security, stackSize, ThreadEntry, start.get(), createFlags | CREATE_SUSPENDED, nullptr)));
    if (!thread) return false;
    start.release();  // the thread owns it now
    SetThreadPriority(thread.get(), priority);
    if ((createFlags & CREATE_SUSPENDED) == 0) ResumeThread(thread.get());
    return true;
}
