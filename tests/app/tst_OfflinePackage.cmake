# The tests start the service stand-in and fake host installations.
add_dependencies(tst_OfflinePackage vantorix-service vantorix-fakehost)
