# The tests start the service stand-in, fake host installations and the
# command-line program itself.
add_dependencies(tst_CommandLine vantorix-service vantorix-fakehost vantorix-cli)
