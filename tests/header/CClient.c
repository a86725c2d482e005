/* A C program that includes the header: the build must stop at the header's one message
   (its functions have C++ linkage), not at an error deep inside it. */
#include <OmbrelApi.h>

int main(void) { return 0; }
