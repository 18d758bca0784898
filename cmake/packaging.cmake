# Installs Tessaglyph as a desktop application and builds its Debian package
# (`cpack -G DEB` in the build folder). Included after every subdirectory so
# that it sees which executables this build has.

set(TESSAGLYPH_APP_ID example.quorvandel.Tessaglyph)
# The day this version was released; the manual page and the AppStream release carry it.
set(TESSAGLYPH_RELEASE_DATE 2026-12-07)
set(TESSAGLYPH_CHANGELOG_DATE "Mon, 07 Dec 2026 00:00:00 +0000")

set(packaging_source ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_build ${PROJECT_BINARY_DIR}/packaging)

# Debian keeps manual pages and changelogs gzipped at the highest level,
# without a name or a time stamp in the header, so that builds are reproducible.
find_program(TESSAGLYPH_GZIP gzip REQUIRED)
function(tessaglyph_install_gzipped name source destination)
  configure_file(${source} ${packaging_build}/${name} @ONLY)
  set(gzipped ${packaging_build}/gzipped/${name}.gz)
  add_custom_command(
    OUTPUT ${gzipped}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_build}/gzipped
    COMMAND ${TESSAGLYPH_GZIP} -9 -n -c ${packaging_build}/${name} > ${gzipped}
    DEPENDS ${packaging_build}/${name}
    COMMENT "Compressing ${name}")
  add_custom_target(tessaglyph_gzip_${name} ALL DEPENDS ${gzipped})
  install(FILES ${gzipped} DESTINATION ${destination})
endfunction()

function(tessaglyph_install_manual name)
  tessaglyph_install_gzipped(${name}.1 ${packaging_source}/${name}.1.in ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

tessaglyph_install_manual(tessaglyph-cli)
# The licence, where Debian looks for it, in its machine-readable form, and
# the changelog a native package carries.
install(FILES ${packaging_source}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessaglyph)
tessaglyph_install_gzipped(changelog ${packaging_source}/changelog.in ${CMAKE_INSTALL_DATADIR}/doc/tessaglyph)

# The desktop entry, icons and metainfo describe the window, so they come only with it.
if(TARGET tessaglyph)
  tessaglyph_install_manual(tessaglyph)
  install(FILES ${packaging_source}/${TESSAGLYPH_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  configure_file(${packaging_source}/${TESSAGLYPH_APP_ID}.metainfo.xml.in
                 ${packaging_build}/${TESSAGLYPH_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${packaging_build}/${TESSAGLYPH_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The theme icons are made at build time from the window's own .ico (small
  # sizes) and the scalable icon of the same design (launcher sizes), so they
  # never drift apart.
  find_package(Qt6 6.4 REQUIRED COMPONENTS Svg)
  add_executable(tessaglyph_icon_export ${packaging_source}/tools/icon_export.cpp)
  target_link_libraries(tessaglyph_icon_export PRIVATE Qt6::Gui Qt6::Svg)
  set_target_properties(tessaglyph_icon_export PROPERTIES AUTOMOC OFF RUNTIME_OUTPUT_DIRECTORY ${packaging_build}/tools)
  set(icon_source ${PROJECT_SOURCE_DIR}/res/tessaglyph.ico)
  set(scalable_icon ${PROJECT_SOURCE_DIR}/res/tessaglyph.svg)
  install(FILES ${scalable_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${TESSAGLYPH_APP_ID}.svg)
  set(theme_icons)
  foreach(size 16 24 32 48 64 128 256)
    set(icon ${packaging_build}/icons/${size}x${size}/${TESSAGLYPH_APP_ID}.png)
    add_custom_command(
      OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_build}/icons/${size}x${size}
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              $<TARGET_FILE:tessaglyph_icon_export> ${icon_source} ${scalable_icon} ${size} ${icon}
      DEPENDS tessaglyph_icon_export ${icon_source} ${scalable_icon}
      COMMENT "Exporting the ${size}x${size} theme icon"
      VERBATIM)
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND theme_icons ${icon})
  endforeach()
  add_custom_target(tessaglyph_theme_icons ALL DEPENDS ${theme_icons})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaglyph)
set(CPACK_PACKAGE_VENDOR Quorvandel)
set(CPACK_PACKAGE_CONTACT "Quorvandel <tessaglyph@quorvandel.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL http://www.quorvandel.example/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture to text converter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tessaglyph turns a BMP, JPEG or GIF picture into a plain text file in which\n"
    "every pixel becomes one character, chosen from a ramp of 15 by the pixel's\n"
    "brightness. It comes as a small window with a preview and as the\n"
    "command-line converter tessaglyph-cli for scripts and batches, which also\n"
    "reads PNG and WebP, resizes, and writes ANSI colour and HTML.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# dpkg-shlibdeps reads the real library versions off the executables; without
# it the package names the runtime libraries this build links by hand.
find_program(TESSAGLYPH_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TESSAGLYPH_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(runtime_packages "libc6" "libstdc++6" "libjpeg62-turbo" "libgif7" "libspng0" "libwebp7")
  if(TARGET tessaglyph)
    list(APPEND runtime_packages "libqt6widgets6 (>= 6.4)" "libqt6gui6 (>= 6.4)" "libqt6core6 (>= 6.4)")
  endif()
  list(JOIN runtime_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
# The About box's links open through xdg-open; without it they say so.
if(TARGET tessaglyph)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
endif()

include(CPack)
