# The real command line in two sandboxes: one that makes the file against the
# service stand-in, one without network that installs from it.
add_dependencies(tst_OfflineInstall vantorix-service vantorix-fakehost vantorix-cli)
