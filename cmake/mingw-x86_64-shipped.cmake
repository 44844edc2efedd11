# The build of what ships for the x86_64 preset: the same target with the -win32 thread model.
set(SETUP_MINGW_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
