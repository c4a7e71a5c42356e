# The tests install from the service stand-in into a fake host installation.
add_dependencies(tst_InstallationReport vantorix-service)
