# The stream library's platform-free units, listed once for the Windows build and the
# native tests. Paths are relative to this folder.
set(OMBREL_STREAM_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PacketAligner.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StreamCensus.cpp)
