# rar linked against musl's C library instead of glibc, where musl is
# installed. The program starts rar twice per file, and glibc's start-up asks
# the processor about its caches with some sixty CPUID instructions; in a
# virtual machine each one traps to the hypervisor (about 9 µs apiece on the
# machines this was measured on), so that a static glibc program took 0.8 ms
# to start and end against 0.15 ms for the same program on musl. The C++
# runtime, libarchive and zlib are the system's static archives, built for
# glibc; the glibc-only names they use are in GlibcCompat.cpp, and the C++
# headers get the few settings that name glibc from musl/include. The tests
# link torvanelo_rar, the same sources built for glibc, and run this rar.
#
# Sets TORVANELO_RAR_MUSL; when it is ON, defines the target rar.

string(REPLACE "-gnu" "-musl" musl_triplet "${CMAKE_LIBRARY_ARCHITECTURE}")
find_path(TORVANELO_MUSL_INCLUDE features.h
    PATHS /usr/include/${musl_triplet} /usr/lib/musl/include NO_DEFAULT_PATH)
find_path(TORVANELO_MUSL_LIB rcrt1.o
    PATHS /usr/lib/${musl_triplet} /usr/lib/musl/lib NO_DEFAULT_PATH)
set(musl_usable OFF)
if(TORVANELO_MUSL_INCLUDE AND TORVANELO_MUSL_LIB AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   AND NOT TORVANELO_SANITIZE)
    set(musl_usable ON)
endif()
option(TORVANELO_RAR_MUSL "Link rar against musl, which starts it several times faster" ${musl_usable})
if(NOT TORVANELO_RAR_MUSL)
    return()
endif()
if(NOT TORVANELO_MUSL_INCLUDE OR NOT TORVANELO_MUSL_LIB)
    message(FATAL_ERROR "TORVANELO_RAR_MUSL needs musl's headers and libraries (musl-dev)")
endif()

function(compiler_file name variable)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "The compiler has no ${name} for the musl build of rar")
    endif()
    set(${variable} ${path} PARENT_SCOPE)
endfunction()
compiler_file(include compiler_include)
compiler_file(crtbeginS.o crt_begin)
compiler_file(crtendS.o crt_end)
compiler_file(libstdc++.a cxx_runtime)
compiler_file(libsupc++.a cxx_support)
compiler_file(libgcc.a gcc_runtime)
compiler_file(libgcc_eh.a gcc_unwinder)

# The C++ library's headers, in the compiler's order; its configuration
# header loses the glibc-only waits musl does not have.
set(cxx_headers ${CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES})
list(FILTER cxx_headers INCLUDE REGEX "c\\+\\+")
set(generated ${CMAKE_CURRENT_BINARY_DIR}/musl-include)
unset(cxx_config)
foreach(folder IN LISTS cxx_headers)
    if(NOT cxx_config AND EXISTS ${folder}/bits/c++config.h)
        set(cxx_config ${folder}/bits/c++config.h)
    endif()
endforeach()
if(NOT cxx_config)
    message(FATAL_ERROR "bits/c++config.h not found in ${cxx_headers}")
endif()
file(READ ${cxx_config} config)
string(REGEX REPLACE
    "\n#define _GLIBCXX_USE_PTHREAD_(COND_CLOCKWAIT|MUTEX_CLOCKLOCK|RWLOCK_CLOCKLOCK) 1" ""
    config "${config}")
file(WRITE ${generated}/c++config.h.new "${config}")
configure_file(${generated}/c++config.h.new ${generated}/bits/c++config.h COPYONLY)
# The headers of libarchive and zlib, alone: the rest of the system's
# headers are glibc's.
find_path(TORVANELO_ZLIB_INCLUDE zlib.h REQUIRED)
find_path(TORVANELO_ZCONF_INCLUDE zconf.h REQUIRED)
foreach(header ${TORVANELO_RAR_ARCHIVE_INCLUDE}/archive.h
               ${TORVANELO_RAR_ARCHIVE_INCLUDE}/archive_entry.h
               ${TORVANELO_ZLIB_INCLUDE}/zlib.h ${TORVANELO_ZCONF_INCLUDE}/zconf.h)
    get_filename_component(name ${header} NAME)
    configure_file(${header} ${generated}/${name} COPYONLY)
endforeach()

get_target_property(posix_sources torvanelo_posix SOURCES)
get_target_property(posix_folder torvanelo_posix SOURCE_DIR)
list(FILTER posix_sources INCLUDE REGEX "\\.cpp$")
list(TRANSFORM posix_sources PREPEND ${posix_folder}/)

add_executable(rar main.cpp ${TORVANELO_RAR_SOURCES} ${posix_sources} musl/GlibcCompat.cpp)
target_include_directories(rar PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${posix_folder})
set(search -nostdinc "SHELL:-include ${CMAKE_CURRENT_SOURCE_DIR}/musl/include/glibc-locale.h")
foreach(folder ${generated} ${CMAKE_CURRENT_SOURCE_DIR}/musl/include ${cxx_headers}
               ${TORVANELO_MUSL_INCLUDE} ${compiler_include})
    list(APPEND search "SHELL:-isystem ${folder}")
endforeach()
target_compile_options(rar PRIVATE ${search})
target_link_libraries(rar PRIVATE torvanelo_options)
# Position-independent and static, so still placed at random; nothing of
# the compiler's default start files or libraries, which are glibc's.
target_link_options(rar PRIVATE -static-pie -nostdlib -Wl,--eh-frame-hdr
    ${TORVANELO_MUSL_LIB}/rcrt1.o ${TORVANELO_MUSL_LIB}/crti.o ${crt_begin})
target_link_libraries(rar PRIVATE
    -Wl,--start-group ${TORVANELO_RAR_ARCHIVE} ${TORVANELO_RAR_ZLIB} ${cxx_runtime} ${cxx_support}
    ${TORVANELO_MUSL_LIB}/libc.a ${gcc_runtime} ${gcc_unwinder} -Wl,--end-group
    ${crt_end} ${TORVANELO_MUSL_LIB}/crtn.o)
