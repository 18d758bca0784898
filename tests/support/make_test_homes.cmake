# Empties and recreates the home folders the tests run with (cmake -P, with
# HOMES set to their paths): each ctest run starts from folders that hold no
# settings of an earlier run, as on a machine that never ran the tests.
foreach(home IN LISTS HOMES)
  file(REMOVE_RECURSE ${home})
  file(MAKE_DIRECTORY ${home}/.config ${home}/.cache ${home}/.local/share ${home}/runtime)
  file(CHMOD ${home}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endforeach()
