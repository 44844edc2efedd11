# The payload tool's tests under Wine: the Windows build of the tool, run as a process on a real
# (Wine) file system with Chinese names. The test binary is built in tools/CMakeLists.txt.
if(TARGET payload_tool_tests)
    setup_add_wine_test(NAME payload_tool_tests TARGET payload_tool_tests)
endif()
