# Where an installed COT puts its files, and the Debian package made of them
# (`cmake --build build --target package`).
include(GNUInstallDirs)

# The host's libraries and the loadable module live in a folder of their own;
# the programs find them relative to themselves, so an unpacked tree runs too.
set(COT_LIBDIR ${CMAKE_INSTALL_LIBDIR}/cot)
set(COT_RPATH_BIN "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}/cot")
set(COT_RPATH_LIB "$ORIGIN")

foreach(lib cot_protocol cot_vocabulary cot_host_core cot_report_document cot_host_ui Pkg_cot00300)
  if(TARGET ${lib})
    set_target_properties(${lib} PROPERTIES INSTALL_RPATH "${COT_RPATH_LIB}")
    install(TARGETS ${lib} LIBRARY DESTINATION ${COT_LIBDIR} NAMELINK_SKIP)
  endif()
endforeach()
foreach(program cot-host cot-server cot-report)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "${COT_RPATH_BIN}")
  endif()
endforeach()
foreach(program cot-host cot-server)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(pkg ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${pkg}/cot-host.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg}/icons/cot-host.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${pkg}/icons/cot-host-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME cot-host.png)
endforeach()
# systemd looks in /lib/systemd/system on Debian 12, whatever the prefix.
install(FILES ${pkg}/cot-server.service DESTINATION /lib/systemd/system)
install(FILES ${pkg}/cot-server.default DESTINATION /etc/default RENAME cot-server)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${pkg}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The package's history, compressed as Debian's tools expect it.
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9nc '${pkg}/debian/changelog' > '${changelog}'"
  DEPENDS ${pkg}/debian/changelog
  VERBATIM)
add_custom_target(cot_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(${pkg}/manpages.cmake)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/help/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/ajuda FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The address Debian's tools show for the package; set it to the team's own.
set(COT_MAINTAINER "Equipe COT <maintainers@users.noreply.c-seed-5076b313.example>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_CONTACT "${COT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "preços e descontos para propostas comerciais")
# Lines under 80 columns: dpkg shows the description as written.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tabelas de preço das propostas comerciais, faixas de desconto por
sistemas e por usuários, permissões de desconto dos operadores, tipos
de serviço e o relatório de simulação de preços.
.
Inclui o programa de mesa cot-host, o relatório de linha de comando
cot-report e o servidor de aplicação cot-server, que roda como serviço
do systemd.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# The SQL drivers are plugins that no library names; adduser makes the
# service's user; the icon theme gives the tool bar its icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg}/debian/postinst ${pkg}/debian/prerm ${pkg}/debian/postrm ${pkg}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
