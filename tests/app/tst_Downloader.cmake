# The tests start the service stand-in, so it must be built first.
add_dependencies(tst_Downloader vantorix-service)
