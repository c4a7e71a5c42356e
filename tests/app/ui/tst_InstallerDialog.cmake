# The last test starts the service stand-in and makes a fake host installation.
add_dependencies(tst_InstallerDialog vantorix-service)
