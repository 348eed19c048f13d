# HTTP and WebSocket framing without sockets: the two files compiled in alone, so that the suite
# needs neither the server nor the rest of the program.
add_executable(tst_http tst_http.cpp
    ${PROJECT_SOURCE_DIR}/remote/http.cpp
    ${PROJECT_SOURCE_DIR}/remote/websocketframes.cpp)
target_include_directories(tst_http PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(tst_http PRIVATE Qt6::Core Qt6::Test podiumwatch_warnings)
add_test(NAME tst_http COMMAND tst_http)
set_tests_properties(tst_http PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_DISABLE_STACK_DUMP=1")
