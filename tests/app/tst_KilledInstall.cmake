# The real command line, killed while it installs and uninstalls.
add_dependencies(tst_KilledInstall vantorix-service vantorix-cli)
