# HTTP and WebSocket framing and the router without sockets: the files compiled in alone (the
# router's with the room's proof it gives), so that the suite needs neither the server nor the rest
# of the program.
add_executable(tst_http tst_http.cpp
    ${PROJECT_SOURCE_DIR}/remote/http.cpp
    ${PROJECT_SOURCE_DIR}/remote/router.cpp
    ${PROJECT_SOURCE_DIR}/remote/websocketframes.cpp
    ${PROJECT_SOURCE_DIR}/rooms/eventtokens.cpp)
target_include_directories(tst_http PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(tst_http PRIVATE PODIUMWATCH_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(tst_http PRIVATE Qt6::Core Qt6::Test podiumwatch_warnings)
add_test(NAME tst_http COMMAND tst_http)
set_tests_properties(tst_http PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_DISABLE_STACK_DUMP=1")

# The framing under libFuzzer (clang only): configure with the fuzz preset.
if(PODIUMWATCH_FUZZ)
    function(podiumwatch_http_fuzz name)
        add_executable(${name} ${ARGN})
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(${name} PRIVATE Qt6::Core)
    endfunction()
    podiumwatch_http_fuzz(fuzz_httphead fuzz_httphead.cpp
        ${PROJECT_SOURCE_DIR}/remote/http.cpp
        ${PROJECT_SOURCE_DIR}/remote/router.cpp
        ${PROJECT_SOURCE_DIR}/remote/websocketframes.cpp
        ${PROJECT_SOURCE_DIR}/rooms/eventtokens.cpp)
    podiumwatch_http_fuzz(fuzz_wsframes fuzz_wsframes.cpp
        ${PROJECT_SOURCE_DIR}/remote/websocketframes.cpp
        ${PROJECT_SOURCE_DIR}/remote/router.cpp
        ${PROJECT_SOURCE_DIR}/remote/http.cpp
        ${PROJECT_SOURCE_DIR}/rooms/eventtokens.cpp)

    # llhttp, the parser Node.js uses, as Debian ships its C sources (node-llhttp), in strict mode:
    # the reference our framing is fuzzed against.
    find_path(LLHTTP_INCLUDE_DIR llhttp.h PATHS /usr/share/include/llhttp /usr/include/llhttp NO_DEFAULT_PATH)
    find_path(LLHTTP_SOURCE_DIR llhttp.c PATHS /usr/share/llhttp NO_DEFAULT_PATH)
    if(NOT LLHTTP_INCLUDE_DIR OR NOT LLHTTP_SOURCE_DIR)
        message(FATAL_ERROR "fuzz_httpdiff needs llhttp's C sources: apt-get install node-llhttp")
    endif()
    # The C compiler beside the clang++ the preset names, so that llhttp is instrumented alike.
    if(NOT CMAKE_C_COMPILER)
        string(REGEX REPLACE "clang\\+\\+" "clang" CMAKE_C_COMPILER "${CMAKE_CXX_COMPILER}")
    endif()
    enable_language(C)
    add_library(podiumwatch_llhttp STATIC
        ${LLHTTP_SOURCE_DIR}/api.c ${LLHTTP_SOURCE_DIR}/http.c ${LLHTTP_SOURCE_DIR}/llhttp.c)
    target_include_directories(podiumwatch_llhttp SYSTEM PUBLIC ${LLHTTP_INCLUDE_DIR})
    target_compile_definitions(podiumwatch_llhttp PUBLIC LLHTTP_STRICT_MODE=1)
    target_compile_options(podiumwatch_llhttp PRIVATE -fsanitize=fuzzer-no-link,address,undefined -w)
    podiumwatch_http_fuzz(fuzz_httpdiff fuzz_httpdiff.cpp ${PROJECT_SOURCE_DIR}/remote/http.cpp)
    target_link_libraries(fuzz_httpdiff PRIVATE podiumwatch_llhttp)
endif()
