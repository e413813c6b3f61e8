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

# The setup script's reference has one source, docs/mksetup-script.md: README's section "The
# setup script" is the same text (docs/sync-readme.py writes it, a test compares them), and
# pandoc makes it the manual page mksetup-script(5).
find_program(SETUP_PANDOC pandoc)
if(NOT SETUP_PANDOC)
  message(FATAL_ERROR "pandoc makes the manual page mksetup-script(5): run scripts/setup.sh")
endif()
set(script_reference ${CMAKE_SOURCE_DIR}/docs/mksetup-script.md)
set(script_page ${CMAKE_BINARY_DIR}/mksetup-script.5)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/mksetup-script-head.man CONTENT
  ".SH NAME\nmksetup-script \\- the script of a setup program made by mksetup\n.SH DESCRIPTION\n")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/mksetup-script-tail.man CONTENT
  ".SH SEE ALSO\n.BR mksetup (1)\n")
# Markdown as GitHub shows it: no smart quotes, TeX or sub- and superscripts. The source's
# headings are level 3, under README's level-2 heading: here they are the page's sections.
add_custom_command(OUTPUT ${script_page}
  COMMAND ${SETUP_PANDOC} --from=markdown-smart-raw_tex-tex_math_dollars-subscript-superscript
          --to=man --standalone --shift-heading-level-by=-2 --metadata=title=MKSETUP-SCRIPT
          --metadata=section=5 "--metadata=footer=mksetup ${PROJECT_VERSION}"
          "--metadata=header=File Formats Manual"
          --include-before-body=${CMAKE_BINARY_DIR}/mksetup-script-head.man
          --include-after-body=${CMAKE_BINARY_DIR}/mksetup-script-tail.man
          --output=${script_page} ${script_reference}
  DEPENDS ${script_reference} ${CMAKE_BINARY_DIR}/mksetup-script-head.man
          ${CMAKE_BINARY_DIR}/mksetup-script-tail.man
  VERBATIM)

# find_package(mksetup): the config file finds mksetup and the stubs from its own place, so the
# same files serve the .deb, the zip and any `cmake --install` prefix.
include(CMakePackageConfigHelpers)
function(setup_cmake_package config_dir program stub_dir)
  string(REGEX REPLACE "[^/]+" ".." MKSETUP_UP "${config_dir}")
  set(MKSETUP_PROGRAM ${program})
  set(MKSETUP_STUB_DIR ${stub_dir})
  set(out ${CMAKE_BINARY_DIR}/cmake-package)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/mksetupConfig.cmake.in ${out}/mksetupConfig.cmake @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/mksetupCPack.cmake.in ${out}/mksetupCPack.cmake @ONLY)
  write_basic_package_version_file(${out}/mksetupConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
  install(FILES ${out}/mksetupConfig.cmake ${out}/mksetupConfigVersion.cmake
                ${out}/mksetupCPack.cmake DESTINATION ${config_dir})
endfunction()

# The project's licence, and the third-party code its programs carry with what each asks.
set(licence_files ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES)

set(CPACK_PACKAGE_NAME mksetup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The setup project")
set(CPACK_PACKAGE_CONTACT "The setup project <setup@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Builds self-extracting setup programs for Windows")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS mksetup RUNTIME DESTINATION .)
  install(FILES ${SETUP_SHIPPED_STUBS} ${CMAKE_SOURCE_DIR}/README.md ${licence_files}
          DESTINATION .)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples)
  install(FILES ${script_page} DESTINATION man/man5)
  add_custom_target(mksetup_man ALL DEPENDS ${script_page})
  setup_cmake_package(cmake mksetup.exe .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME mksetup-${PROJECT_VERSION}-win64)
else()
  include(GNUInstallDirs)
  install(TARGETS mksetup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${SETUP_SHIPPED_STUBS} DESTINATION ${CMAKE_INSTALL_DATADIR}/mksetup)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${licence_files}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mksetup)
  # Debian's machine-readable form of the same, where Debian looks for a package's licences.
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian-copyright RENAME copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mksetup)
  # Debian keeps a package's examples among its documentation.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mksetup/examples)
  # Debian keeps manual pages compressed; -n keeps the bytes reproducible.
  set(man_page ${CMAKE_BINARY_DIR}/mksetup.1.gz)
  add_custom_command(OUTPUT ${man_page}
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/tools/mksetup/mksetup.1 > ${man_page}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/mksetup/mksetup.1)
  add_custom_command(OUTPUT ${script_page}.gz
    COMMAND gzip -9n -c ${script_page} > ${script_page}.gz
    DEPENDS ${script_page})
  add_custom_target(mksetup_man ALL DEPENDS ${man_page} ${script_page}.gz)
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${script_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
  # share/mksetup/cmake: beside the stubs, where find_package looks under each prefix.
  setup_cmake_package(${CMAKE_INSTALL_DATADIR}/mksetup/cmake ${CMAKE_INSTALL_BINDIR}/mksetup
                      ${CMAKE_INSTALL_DATADIR}/mksetup)

  set(CPACK_GENERATOR DEB)
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_arch})
  set(CPACK_DEBIAN_FILE_NAME mksetup_${PROJECT_VERSION}_${deb_arch}.deb)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
# Whoever builds mksetup for a package builds its manual pages too (scripts/package.sh).
add_dependencies(mksetup mksetup_man)
include(CPack)
