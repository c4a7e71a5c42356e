# The screenshot driver's steps, the service stand-in, and an X server that the
# test starts itself; a skip (no X server can start) shows as skipped.
target_sources(tst_WindowFlow PRIVATE ${PROJECT_SOURCE_DIR}/tools/screenshots/WindowDriver.cpp)
target_include_directories(tst_WindowFlow PRIVATE ${PROJECT_SOURCE_DIR}/tools/screenshots)
add_dependencies(tst_WindowFlow vantorix-service)
set_tests_properties(tst_WindowFlow PROPERTIES SKIP_REGULAR_EXPRESSION "SKIP   : tst_WindowFlow::initTestCase")
