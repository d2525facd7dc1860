// Included first in every file of the musl build: the C++ library's headers
// name glibc's spelling of the locale type.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif
struct __locale_struct;
typedef struct __locale_struct* __locale_t;
#ifdef __cplusplus
}
#endif
