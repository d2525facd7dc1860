// The C++ library's operating-system settings for musl: its headers were
// configured for glibc, whose version tests and ctype tables musl lacks.
#ifndef _GLIBCXX_OS_DEFINES
#define _GLIBCXX_OS_DEFINES 1

#define __NO_CTYPE 1
#include <features.h>

// Threads are always there: the weak references that tell otherwise in
// glibc's older static archives would turn every lock into nothing here.
#define _GLIBCXX_GTHREAD_USE_WEAK 0

#endif
