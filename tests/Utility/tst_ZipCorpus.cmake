# The zip fuzz corpus again, under the sanitizers: the zip reader and what it
# stands on are compiled into the replay program itself; files come from the
# library, minizip and zlib are the system's.
include(${CMAKE_CURRENT_SOURCE_DIR}/fuzz/SanitizedReplay.cmake)
set(lib_dir ${PROJECT_SOURCE_DIR}/lib)
vantorix_sanitized_replay(tst_ZipCorpus_sanitized zip_replay_sanitized ${CMAKE_CURRENT_SOURCE_DIR}/data/fuzz/zip
    SOURCES
        ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/zip_replay.cpp
        ${lib_dir}/Utility/ZipArchive.cpp
        ${lib_dir}/Utility/ZipEntryTree.cpp
        ${lib_dir}/Utility/MemoryBlock.cpp
        ${lib_dir}/Utility/String.cpp
        ${lib_dir}/Utility/Convert.cpp
        ${lib_dir}/Utility/Encoding.cpp
    LIBRARIES vantorix Qt5::Core Boost::boost PkgConfig::MINIZIP ZLIB::ZLIB
    # GCC's sanitizer builds see uninitialised storage in Boost's graph
    # optional that is never read.
    OPTIONS $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>
    ENVIRONMENT TMPDIR=${sandbox}/tmp)
