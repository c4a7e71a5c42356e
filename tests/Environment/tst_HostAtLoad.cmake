# Fake installations in the sandbox's host search folder, made before the
# test program starts (its discovery runs when it loads).
set(hosts ${CMAKE_BINARY_DIR}/sandbox/tst_HostAtLoad/hosts)
add_test(NAME tst_HostAtLoad_hosts
    COMMAND sh -c "rm -rf \"$0\" && \"$1\" --version 19 \"$0/GRAPHISOFT/ArchiCAD 19\" && \"$1\" --version 18 --language GER --edition solo \"$0/ArchiCAD 18\" && \"$1\" --version 17 \"$0/ArchiCAD 17\""
            ${hosts} $<TARGET_FILE:vantorix-fakehost>)
set_tests_properties(tst_HostAtLoad_hosts PROPERTIES FIXTURES_SETUP hostsAtLoad)
set_tests_properties(tst_HostAtLoad PROPERTIES FIXTURES_REQUIRED hostsAtLoad)
