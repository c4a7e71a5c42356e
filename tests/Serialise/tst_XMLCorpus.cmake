# The fuzz corpus again, under AddressSanitizer and UndefinedBehaviorSanitizer.
# The rest of the build stays unsanitized: this one program compiles the
# reader, the writer, the shipping classes and the byte buffers (with the
# string helpers they use) itself with the sanitizer flags and takes only
# what else it needs (files) from the library. The linker then never pulls
# the library's own, unsanitized copies of those objects.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=address,undefined")
set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=address,undefined")
check_cxx_source_compiles("int main() { return 0; }" VANTORIX_HAVE_SANITIZERS)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_LINK_OPTIONS)

if(VANTORIX_HAVE_SANITIZERS)
    set(lib_dir ${PROJECT_SOURCE_DIR}/lib)
    add_executable(xml_replay_sanitized
        ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/xml_replay.cpp
        ${lib_dir}/Serialise/Shipping.cpp
        ${lib_dir}/Serialise/XMLShipping.cpp
        ${lib_dir}/Serialise/XMLTypeProxy.cpp
        ${lib_dir}/Serialise/XMLProxy.cpp
        ${lib_dir}/Serialise/XMLGlossary.cpp
        ${lib_dir}/Serialise/XMLReader.cpp
        ${lib_dir}/Serialise/XMLWriter.cpp
        ${lib_dir}/Utility/DataBufferIn.cpp
        ${lib_dir}/Utility/DataBufferOut.cpp
        ${lib_dir}/Utility/MemoryBlock.cpp
        ${lib_dir}/Utility/VantIO.cpp
        ${lib_dir}/Utility/String.cpp
        ${lib_dir}/Utility/Convert.cpp
        ${lib_dir}/Utility/Encoding.cpp
        ${lib_dir}/Database/Guid.cpp)
    set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(xml_replay_sanitized PRIVATE ${sanitize_flags})
    target_link_options(xml_replay_sanitized PRIVATE ${sanitize_flags})
    target_include_directories(xml_replay_sanitized PRIVATE ${lib_dir})
    target_link_libraries(xml_replay_sanitized PRIVATE vantorix Qt5::Core)
    add_test(NAME tst_XMLCorpus_sanitized
             COMMAND xml_replay_sanitized ${CMAKE_CURRENT_SOURCE_DIR}/data/fuzz/xml)
    set_tests_properties(tst_XMLCorpus_sanitized PROPERTIES
        TIMEOUT 300
        ENVIRONMENT "ASAN_OPTIONS=abort_on_error=0:detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
else()
    message(STATUS "No sanitizers: the fuzz corpus replays without them only")
endif()
