#include "framework/thread.h"

#include <memory>
#include <process.h>

namespace {

struct ThreadStart {
    AFX_THREADPROC proc;
    LPVOID param;
};

unsigned __stdcall ThreadEntry(void* raw) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
    // No exception may cross into the system's thread start.
    try {
        return start->proc(start->param);
    } catch (...) {
        return 1;
    }
}

}  // namespace

UniqueHandle AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize,
                            DWORD createFlags, LPSECURITY_ATTRIBUTES security) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{proc, param});
    // _beginthreadex, not CreateThread: the worker uses the C runtime's file streams.
    UniqueHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(
        security, stackSize, ThreadEntry, start.get(), createFlags | CREATE_SUSPENDED, nullptr)));
    if (!thread) return thread;
    start.release();  // the thread owns it now
    SetThreadPriority(thread.get(), priority);
    if ((createFlags & CREATE_SUSPENDED) == 0) ResumeThread(thread.get());
    return thread;
}
