# The test installs the build folder with cmake and runs the installed programs.
target_compile_definitions(tst_InstallFolder PRIVATE
    VANTORIX_CMAKE_COMMAND="${CMAKE_COMMAND}" VANTORIX_BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(tst_InstallFolder vantorix-installer vantorix-cli vantorix-service vantorix-fakehost)
