# Cross build for 32-bit Windows: the shipped Setup.exe (PE32). No 32-bit Wine here, so its tests
# are built but not run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SETUP_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
