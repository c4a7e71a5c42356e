# The zip fuzz corpus again, under AddressSanitizer and UndefinedBehaviorSanitizer.
# As for the XML corpus, the rest of the build stays unsanitized: this one
# program compiles the zip reader and what it stands on itself with the
# sanitizer flags and takes only what else it needs (files) from the library.
# minizip and zlib are the system's and stay uninstrumented.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=address,undefined")
set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=address,undefined")
check_cxx_source_compiles("int main() { return 0; }" VANTORIX_HAVE_SANITIZERS)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_LINK_OPTIONS)

if(VANTORIX_HAVE_SANITIZERS)
    set(lib_dir ${PROJECT_SOURCE_DIR}/lib)
    add_executable(zip_replay_sanitized
        ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/zip_replay.cpp
        ${lib_dir}/Utility/ZipArchive.cpp
        ${lib_dir}/Utility/ZipEntryTree.cpp
        ${lib_dir}/Utility/MemoryBlock.cpp
        ${lib_dir}/Utility/String.cpp
        ${lib_dir}/Utility/Convert.cpp
        ${lib_dir}/Utility/Encoding.cpp)
    set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    # GCC's sanitizer builds see uninitialised storage in Boost's graph
    # optional that is never read.
    target_compile_options(zip_replay_sanitized PRIVATE ${sanitize_flags}
        $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
    target_link_options(zip_replay_sanitized PRIVATE ${sanitize_flags})
    target_include_directories(zip_replay_sanitized PRIVATE ${lib_dir})
    target_link_libraries(zip_replay_sanitized PRIVATE vantorix Qt5::Core Boost::boost PkgConfig::MINIZIP ZLIB::ZLIB)
    add_test(NAME tst_ZipCorpus_sanitized
             COMMAND zip_replay_sanitized ${CMAKE_CURRENT_SOURCE_DIR}/data/fuzz/zip)
    set_tests_properties(tst_ZipCorpus_sanitized PROPERTIES
        TIMEOUT 300
        ENVIRONMENT "ASAN_OPTIONS=abort_on_error=0:detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1;TMPDIR=${sandbox}/tmp")
endif()
