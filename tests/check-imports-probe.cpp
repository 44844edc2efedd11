// A program that imports a function Windows XP lacks, so that a test can see the import check
// refuse it by name. Never shipped.
#include <windows.h>

// Declared by the headers only for Vista and later; the build targets XP.
extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64();

int main() {
    return GetTickCount64() == 0 ? 1 : 0;
}
