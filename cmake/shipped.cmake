# What ships, Setup and the sample product's four programs, comes from a build of its own nested in
# each Windows build: the same sources and options, but the -win32 thread-model compilers
# (cmake/mingw-*-shipped.cmake). The -posix model that GoogleTest needs links the static
# libwinpthread, which imports KERNEL32!GetTickCount64 and so keeps a program from starting on
# Windows XP. The nested build writes its stripped programs to bin/Setup.exe and sample/product/
# of this build tree, where the tests, scripts/dist.sh and scripts/run.sh take them.
include(ExternalProject)
set(SETUP_SHIPPED_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/mingw-${CMAKE_SYSTEM_PROCESSOR}-shipped.cmake)
ExternalProject_Add(shipped
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    PREFIX ${CMAKE_BINARY_DIR}/shipped
    BINARY_DIR ${CMAKE_BINARY_DIR}/shipped/build
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${SETUP_SHIPPED_TOOLCHAIN}
        -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
        -DSETUP_SHIPPED_ONLY=ON
        -DSETUP_OUTPUT_ROOT=${CMAKE_BINARY_DIR}
    # Its own make tracks the sources; this only has to run it every time.
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/bin/Setup.exe)

# The names the scripts and the tests build by.
add_custom_target(Setup)
add_dependencies(Setup shipped)
add_custom_target(sample_product)
add_dependencies(sample_product shipped)
