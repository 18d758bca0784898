# Every test runs with a home folder of its own under the build tree (HOME and
# the XDG folders point into it), emptied at the start of each ctest run, and
# with a deadline. No test reads or writes the home folder of whoever runs it:
# Qt's file dialog, for one, keeps its history there, and a test that passes
# only where such a history exists hides a fault.

# Isolates the tests made so far in the calling folder; each gets `timeout`
# seconds unless it set its own.
function(tessaglyph_isolate_tests timeout)
  get_property(names DIRECTORY PROPERTY TESTS)
  foreach(name IN LISTS names)
    set(home ${CMAKE_BINARY_DIR}/test-homes/${name})
    set_property(GLOBAL APPEND PROPERTY TESSAGLYPH_TEST_HOMES ${home})
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
                 HOME=${home} XDG_CONFIG_HOME=${home}/.config XDG_CACHE_HOME=${home}/.cache
                 XDG_DATA_HOME=${home}/.local/share XDG_RUNTIME_DIR=${home}/runtime)
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED test_homes)
    get_test_property(${name} TIMEOUT own_timeout)
    if(NOT own_timeout)
      set_property(TEST ${name} PROPERTY TIMEOUT ${timeout})
    endif()
  endforeach()
endfunction()

# The test that empties and recreates every isolated test's home folder
# before any of them runs.
function(tessaglyph_add_test_homes)
  get_property(homes GLOBAL PROPERTY TESSAGLYPH_TEST_HOMES)
  add_test(NAME test_homes COMMAND ${CMAKE_COMMAND} "-DHOMES=${homes}" -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/make_test_homes.cmake)
  set_tests_properties(test_homes PROPERTIES FIXTURES_SETUP test_homes)
endfunction()
