# The DirectShow helpers' units, listed once for the targets that compile them in: the
# simulator's filter DLL and the stream library, whose archive the SDK ships whole.
# Paths are absolute; include the folder DSHOW_HELPERS_DIR.
set(DSHOW_HELPERS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(DSHOW_HELPERS_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ComEnumerators.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OwnedMediaType.cpp)
