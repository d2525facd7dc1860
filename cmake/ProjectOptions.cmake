# One INTERFACE target carries the language level, the warnings and the Qt
# safety macros; every target of the project links it.
add_library(torvanelo_options INTERFACE)
target_compile_features(torvanelo_options INTERFACE cxx_std_20)
target_compile_options(torvanelo_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(torvanelo_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_NO_CONTEXTLESS_CONNECT
    QT_STRICT_ITERATORS)

option(TORVANELO_SANITIZE "Build with address and undefined-behaviour sanitizers" OFF)
if(TORVANELO_SANITIZE)
    target_compile_options(torvanelo_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(torvanelo_options INTERFACE -fsanitize=address,undefined)
endif()
