# The flows run against the service stand-in and a fake host installation.
add_dependencies(tst_OfflineFlows vantorix-service vantorix-fakehost)
