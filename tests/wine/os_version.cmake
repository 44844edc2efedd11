# The version query again in prefixes set to other Windows versions than Wine's default (Windows 7).
setup_add_wine_test(NAME os_version_test_winxp64 TARGET os_version_test VERSION winxp64)
setup_add_wine_test(NAME os_version_test_vista TARGET os_version_test VERSION vista)
