# The uninstaller's tests. setup_uninstall_test installs the sample product with Setup.exe and
# removes it again, on a drive D: of its own (the installer refuses the system drive); it packs
# the payload with the payload tool. uninstaller_test runs the built quenunset.exe alone.
if(TARGET Setup)
    add_dependencies(setup_uninstall_test Setup sample_product payload-tool)
    set_property(TEST setup_uninstall_test APPEND PROPERTY ENVIRONMENT
        "SETUP_WINE_DRIVE_D=${SETUP_WINE_ROOT}/drives/setup_uninstall_test")
    # Three installations through the real dialog and folder picker, each followed by snapshots
    # of two drives and two registry trees.
    set_tests_properties(setup_uninstall_test PROPERTIES TIMEOUT 600)
    # The uninstaller comes with the sample product from the build of what ships.
    add_dependencies(uninstaller_test sample_product)
endif()
