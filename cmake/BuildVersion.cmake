# Writes the header that names a build: the project's version and the source commit.
# Runs at every build (cmake -P) so that the commit follows the checkout, and rewrites the
# header only when its text changes, so that an unchanged commit recompiles nothing.
# Inputs: SOURCE_DIR, OUTPUT, VERSION and COMMIT (given by whoever builds from sources
# without history; empty otherwise).
if(COMMIT STREQUAL "")
  if(EXISTS "${SOURCE_DIR}/.git")
    find_package(Git QUIET)
    if(GIT_FOUND)
      # The commit alone, never a tag name, marked when the sources differ from it.
      execute_process(COMMAND "${GIT_EXECUTABLE}" describe --always --dirty --abbrev=12 --exclude=*
                      WORKING_DIRECTORY "${SOURCE_DIR}" OUTPUT_VARIABLE COMMIT
                      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
  endif()
endif()
if(COMMIT STREQUAL "")
  # An archive made by git archive carries its commit in this file (export-subst).
  file(READ "${SOURCE_DIR}/cmake/source-commit.txt" archived)
  string(STRIP "${archived}" archived)
  if(archived MATCHES "^[0-9a-f]+$")
    string(SUBSTRING "${archived}" 0 12 COMMIT)
  else()
    set(COMMIT "unknown")
  endif()
endif()

if(NOT COMMIT MATCHES "^[0-9A-Za-z._+-]+$")
  message(FATAL_ERROR "Q3D_SOURCE_COMMIT may hold only letters, digits and . _ + - (not \"${COMMIT}\")")
endif()

set(text "// Generated at build time by cmake/BuildVersion.cmake.\n"
         "#pragma once\n"
         "#define Q3D_PROJECT_VERSION \"${VERSION}\"\n"
         "#define Q3D_SOURCE_COMMIT \"${COMMIT}\"\n")
string(CONCAT text ${text})
set(previous "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
endif()
if(NOT previous STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
