/* A module that exists only to carry a version resource for the reader's tests. */
__declspec(dllexport) int VersionDllMarker(void) { return 1; }
