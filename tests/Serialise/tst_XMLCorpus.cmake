# The XML fuzz corpus again, under the sanitizers: the reader, the writer, the
# shipping classes and the byte buffers (with the string helpers they use) are
# compiled into the replay program itself; files come from the library.
include(${CMAKE_CURRENT_SOURCE_DIR}/fuzz/SanitizedReplay.cmake)
set(lib_dir ${PROJECT_SOURCE_DIR}/lib)
vantorix_sanitized_replay(tst_XMLCorpus_sanitized xml_replay_sanitized ${CMAKE_CURRENT_SOURCE_DIR}/data/fuzz/xml
    SOURCES
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
        ${lib_dir}/Database/Guid.cpp
    LIBRARIES vantorix Qt5::Core)
