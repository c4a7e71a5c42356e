# The tests download from the service stand-in.
add_dependencies(tst_Uninstall vantorix-service)
