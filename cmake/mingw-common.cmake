# The thread model picks the compiler. The -posix one is the default: GoogleTest needs std::mutex,
# which the -win32 model lacks. What ships is built with the -win32 one (cmake/shipped.cmake), whose
# runtime leaves out libwinpthread and with it KERNEL32!GetTickCount64, which Windows XP lacks.
if(NOT SETUP_MINGW_THREAD_MODEL)
    set(SETUP_MINGW_THREAD_MODEL posix)
endif()
set(CMAKE_C_COMPILER ${SETUP_MINGW_TRIPLE}-gcc-${SETUP_MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${SETUP_MINGW_TRIPLE}-g++-${SETUP_MINGW_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${SETUP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SETUP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
