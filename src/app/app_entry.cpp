// The process entry point. It lives with the executable, not in the framework library, so that
// the linker always finds it.
#include "framework/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AfxWinMain(instance);
}
