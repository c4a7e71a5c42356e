# A fuzz corpus replayed under AddressSanitizer and UndefinedBehaviorSanitizer
# as part of the normal test run. The rest of the build stays unsanitized: the
# replay program compiles the code under test itself with the sanitizer flags
# (the SOURCES given) and takes only what else it needs from the library, so
# the linker never pulls the library's own, unsanitized copies of those
# objects. Libraries outside the tree stay uninstrumented.
#
#   vantorix_sanitized_replay(<test name> <program> <corpus folder>
#       SOURCES <replay main and library sources>...
#       LIBRARIES <link libraries>...
#       [OPTIONS <extra compile options>...]
#       [ENVIRONMENT <test environment>...])
include_guard(GLOBAL)

include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=address,undefined")
set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=address,undefined")
check_cxx_source_compiles("int main() { return 0; }" VANTORIX_HAVE_SANITIZERS)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(NOT VANTORIX_HAVE_SANITIZERS)
    message(STATUS "No sanitizers: the fuzz corpora replay without them only")
endif()

function(vantorix_sanitized_replay test program corpus)
    if(NOT VANTORIX_HAVE_SANITIZERS)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 3 replay "" "" "SOURCES;LIBRARIES;OPTIONS;ENVIRONMENT")
    set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_executable(${program} ${replay_SOURCES})
    target_compile_options(${program} PRIVATE ${sanitize_flags} ${replay_OPTIONS})
    target_link_options(${program} PRIVATE ${sanitize_flags})
    target_include_directories(${program} PRIVATE ${PROJECT_SOURCE_DIR}/lib)
    target_link_libraries(${program} PRIVATE ${replay_LIBRARIES})
    add_test(NAME ${test} COMMAND ${program} ${corpus})
    set(environment "ASAN_OPTIONS=abort_on_error=0:detect_leaks=1" "UBSAN_OPTIONS=print_stacktrace=1" ${replay_ENVIRONMENT})
    set_tests_properties(${test} PROPERTIES TIMEOUT 300 ENVIRONMENT "${environment}")
endfunction()
