# Install rules and the Debian package made from them.
include(GNUInstallDirs)

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual page and the package changelog are installed compressed, as man and Debian expect.
# gzip -n leaves the time stamp out, so the package's bytes do not depend on when it was built.
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/compressed)
  foreach(pair "docs/velmora.1;velmora.1.gz" "packaging/changelog;changelog.gz")
    list(GET pair 0 source)
    list(GET pair 1 target)
    add_custom_command(OUTPUT ${compressed}/${target}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
      COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/${source} > ${compressed}/${target}
      DEPENDS ${source} VERBATIM)
    list(APPEND compressedFiles ${compressed}/${target})
  endforeach()
  add_custom_target(velmora_compressed_docs ALL DEPENDS ${compressedFiles})
  install(FILES ${compressed}/velmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${compressed}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  install(FILES docs/velmora.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora-devel@lists.velmora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Velmora loads uncompressed PCM WAV files (8 or 16 bits, any channel count
and sample rate), runs a look-ahead dynamic range compressor with attack
and release smoothing and a threshold-and-slope gain law, and/or a fixed
bass boost, and writes the result as a PCM WAV file of the same format.
Saving replaces the previous output only once every byte is on disk.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
