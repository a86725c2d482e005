# The transport-stream units (plain C++), listed once for the Windows build, the native
# tests, the fuzz targets and the benchmarks. Paths are relative to this folder.
set(TUNERSIM_STREAM_UNITS
    BoxStream.cpp
    Multiplexer.cpp
    es/AudioParsers.cpp
    es/Clip.cpp
    es/ClipLibrary.cpp
    es/H264Parser.cpp
    es/Mpeg2VideoParser.cpp
    es/Pes.cpp
    es/TsPacketizer.cpp
    psi/AtscTables.cpp
    psi/BroadcastTime.cpp
    psi/DeliveryDescriptors.cpp
    psi/Descriptors.cpp
    psi/DvbCharsets.cpp
    psi/DvbText.cpp
    psi/EventTables.cpp
    psi/ProgramTables.cpp
    psi/Section.cpp
    psi/SectionLoop.cpp
    psi/SectionPacketizer.cpp
    psi/ServiceTables.cpp
    psi/TimeTables.cpp
)
# They share the section CRC, the DVB character tables and UTF-8 with the table reader
# (tools/tables/Sources.cmake: TALVEX_TABLES_SOURCES), which every user links too.
set(TUNERSIM_STREAM_SOURCES)
foreach(unit ${TUNERSIM_STREAM_UNITS})
    list(APPEND TUNERSIM_STREAM_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${unit})
endforeach()
