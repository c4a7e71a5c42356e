# The test starts the service stand-in, so it must be built first.
add_dependencies(tst_ServiceListing vantorix-service)
