# The installer's own tests. The end-to-end ones start copies of Setup.exe, which must be built
# first; the in-process dialog tests need the dialog templates, icon and strings in their program.
if(TARGET Setup)
    target_sources(setup_dialog_test PRIVATE ${PROJECT_SOURCE_DIR}/src/res/setup.rc)
    add_dependencies(setup_e2e_test Setup)
    add_dependencies(setup_browse_test Setup)
    add_dependencies(setup_checksum_test Setup)
    add_dependencies(setup_failure_test Setup)
    add_dependencies(setup_silent_test Setup)
    # The folder picker again under a release that accepts the system drive.
    setup_add_wine_test(NAME setup_browse_test_winxp64 TARGET setup_browse_test VERSION winxp64
        TIMEOUT 120)
    set_tests_properties(setup_browse_test PROPERTIES TIMEOUT 120)
    # Every wait inside has its own limit; these bound a binary as a whole. While a player runs,
    # each installer looks it up again and again, a full process snapshot each.
    set_tests_properties(setup_e2e_test PROPERTIES TIMEOUT 600)
    # The full-disk case installs onto a small tmpfs that the runner mounts as drive T: (as root;
    # refused otherwise, and the case then reports itself as not tested).
    set_tests_properties(setup_failure_test PROPERTIES TIMEOUT 300
        ENVIRONMENT_MODIFICATION "SETUP_WINE_SMALL_DRIVE=set:t:8m")
    set_tests_properties(setup_dialog_test PROPERTIES TIMEOUT 300)
    set_tests_properties(setup_checksum_test PROPERTIES TIMEOUT 180)
    # Unattended installs and exit codes; the full-disk case on a small drive T: as above.
    # A drive D: other than the system drive, which the default release refuses.
    set_tests_properties(setup_silent_test PROPERTIES TIMEOUT 300
        ENVIRONMENT_MODIFICATION
        "SETUP_WINE_SMALL_DRIVE=set:t:8m;SETUP_WINE_DRIVE_D=set:${SETUP_WINE_ROOT}/drives/setup_silent_test")
endif()
