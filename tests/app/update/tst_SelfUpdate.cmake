# The test installs the build folder with cmake, builds update archives from
# the next/bin programs (a higher version) and runs the installed programs.
target_compile_definitions(tst_SelfUpdate PRIVATE
    VANTORIX_CMAKE_COMMAND="${CMAKE_COMMAND}" VANTORIX_BUILD_DIR="${CMAKE_BINARY_DIR}"
    VANTORIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(tst_SelfUpdate vantorix-installer vantorix-cli vantorix-installer-next vantorix-cli-next
    vantorix-service)
