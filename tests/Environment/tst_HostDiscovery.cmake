# Fake installations in the sandbox's host search folder, made before the
# test program starts.
set(hosts ${CMAKE_BINARY_DIR}/sandbox/tst_HostDiscovery/hosts)
add_test(NAME tst_HostDiscovery_hosts
    COMMAND sh -c "rm -rf \"$0\" && \"$1\" --version 19 \"$0/GRAPHISOFT/ArchiCAD 19\" && \"$1\" --version 18 --language GER --edition solo \"$0/ArchiCAD 18\" && \"$1\" --version 17 \"$0/ArchiCAD 17\""
            ${hosts} $<TARGET_FILE:vantorix-fakehost>)
set_tests_properties(tst_HostDiscovery_hosts PROPERTIES FIXTURES_SETUP hostsForDiscovery)
set_tests_properties(tst_HostDiscovery PROPERTIES FIXTURES_REQUIRED hostsForDiscovery)
