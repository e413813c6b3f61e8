# Installing and packaging the tools. The native build installs mksetup into
# bin/ and the stub into share/mksetup/, where mksetup looks for it, and
# makes the Debian package; the x86_64 MinGW build puts mksetup.exe and the
# stub side by side in a zip. The stub they ship is the 32-bit one, which
# neither of these builds makes: SETUP_SHIPPED_STUB names the win32 preset's.
# scripts/package.sh builds all three and runs CPack.
set(SETUP_SHIPPED_STUB "${CMAKE_SOURCE_DIR}/build/bin/setup-stub.exe" CACHE FILEPATH
    "The stub the packages ship (made by the win32 preset)")
# The per-user stub is made beside it and shipped beside it.
get_filename_component(stub_dir ${SETUP_SHIPPED_STUB} DIRECTORY)
set(SETUP_SHIPPED_STUBS ${SETUP_SHIPPED_STUB} ${stub_dir}/setup-stub-user.exe)

set(CPACK_PACKAGE_NAME mksetup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The setup project")
set(CPACK_PACKAGE_CONTACT "The setup project <setup@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Builds self-extracting setup programs for Windows")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS mksetup RUNTIME DESTINATION .)
  install(FILES ${SETUP_SHIPPED_STUBS} ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME mksetup-${PROJECT_VERSION}-win64)
else()
  include(GNUInstallDirs)
  install(TARGETS mksetup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${SETUP_SHIPPED_STUBS} DESTINATION ${CMAKE_INSTALL_DATADIR}/mksetup)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mksetup)
  # Debian keeps a package's examples among its documentation.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mksetup/examples)
  # Debian keeps manual pages compressed; -n keeps the bytes reproducible.
  set(man_page ${CMAKE_BINARY_DIR}/mksetup.1.gz)
  add_custom_command(OUTPUT ${man_page}
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/tools/mksetup/mksetup.1 > ${man_page}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/mksetup/mksetup.1)
  add_custom_target(mksetup_man ALL DEPENDS ${man_page})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  set(CPACK_GENERATOR DEB)
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_arch})
  set(CPACK_DEBIAN_FILE_NAME mksetup_${PROJECT_VERSION}_${deb_arch}.deb)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
