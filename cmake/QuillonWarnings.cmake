# Warning and sanitizer settings shared by every target of ours.
add_library(quillon_options INTERFACE)
target_compile_options(quillon_options INTERFACE
    -Wall -Wextra -Wpedantic -Wundef -Wpointer-arith -Wformat=2 -Wnon-virtual-dtor
    -Woverloaded-virtual -Wcast-qual $<IF:$<CXX_COMPILER_ID:GNU>,-Wshadow=local,-Wshadow> -Wimplicit-fallthrough
    -Wmissing-declarations)
if(QUILLON_WERROR)
    target_compile_options(quillon_options INTERFACE -Werror)
endif()
target_compile_definitions(quillon_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_STRICT_ITERATORS
    QUILLON_VERSION_TEXT="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
if(QUILLON_FUZZ)
    # Every object is instrumented for the fuzzer's coverage and checked by the
    # sanitizers; only the fuzz targets link the fuzzer's own main.
    target_compile_options(quillon_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(quillon_options INTERFACE -fsanitize=address,undefined)
endif()
if(QUILLON_SANITIZE)
    target_compile_options(quillon_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(quillon_options INTERFACE -fsanitize=address,undefined)
endif()
