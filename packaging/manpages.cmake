# A manual page per program, made at build time from its own --help by
# help2man, so the page never drifts from the program.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(NOT HELP2MAN OR NOT GZIP)
  message(WARNING "help2man ausente: o pacote sai sem páginas de manual (scripts/bootstrap.sh o instala)")
  return()
endif()

set(man_dir ${CMAKE_BINARY_DIR}/man)
set(pages)
foreach(program cot-host cot-server cot-report)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(page ${man_dir}/${program}.1.gz)
  # No display: the programs print their usage without one. The name line
  # comes from packaging/man: help2man reads a --name argument as Latin-1.
  set(include ${CMAKE_CURRENT_LIST_DIR}/man/${program}.h2m)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY QT_QPA_PLATFORM=offscreen
            ${HELP2MAN} --no-info --no-discard-stderr --section=1 --locale=C.UTF-8
            --version-string=${PROJECT_VERSION} --include=${include}
            --output=${man_dir}/${program}.1 $<TARGET_FILE:${program}>
    COMMAND ${GZIP} -9nf ${man_dir}/${program}.1
    DEPENDS ${program} ${include}
    COMMENT "Página de manual de ${program}"
    VERBATIM)
  list(APPEND pages ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(cot_manpages ALL DEPENDS ${pages})

