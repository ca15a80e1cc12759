# What ships beside the exe's code: its icon, made from the chip glyph at build time, and the
# setup program (NSIS). Included by windows.cmake once the exe targets exist.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(MAKENSIS makensis REQUIRED)  # Debian's nsis; scripts/setup installs it

set(QUORVANE_ART ${CMAKE_BINARY_DIR}/art)
add_custom_command(
  OUTPUT ${QUORVANE_ART}/Quorvane.ico ${QUORVANE_ART}/wizard.bmp
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/app/make_icon.py ${QUORVANE_ART}/Quorvane.ico
          --wizard ${QUORVANE_ART}/wizard.bmp
  DEPENDS ${CMAKE_SOURCE_DIR}/app/make_icon.py
  COMMENT "Drawing the application icon"
  VERBATIM)
add_custom_target(quorvane_art DEPENDS ${QUORVANE_ART}/Quorvane.ico ${QUORVANE_ART}/wizard.bmp)
set_property(SOURCE app/Quorvane.rc APPEND PROPERTY OBJECT_DEPENDS ${QUORVANE_ART}/Quorvane.ico)
set_property(SOURCE app/Quorvane.rc APPEND PROPERTY INCLUDE_DIRECTORIES ${QUORVANE_ART})
foreach(target Quorvane QuorvaneLoopback win_tests)
  add_dependencies(${target} quorvane_art)
endforeach()

# Authenticode for what ships, when the build is given a certificate: a PKCS#12 file, its
# password in the environment (QUORVANE_SIGN_PASSWORD), optionally a timestamping service.
set(QUORVANE_SIGN_PFX "" CACHE FILEPATH "PKCS#12 certificate that signs Quorvane.exe, its setup and uninstaller")
set(QUORVANE_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 timestamping service for the signatures")
set(QUORVANE_SIGN ${CMAKE_SOURCE_DIR}/scripts/sign)
if(QUORVANE_SIGN_PFX AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_custom_command(TARGET Quorvane POST_BUILD
    COMMAND ${QUORVANE_SIGN} ${QUORVANE_SIGN_PFX} $<TARGET_FILE:Quorvane> "${QUORVANE_SIGN_TIMESTAMP_URL}"
    COMMENT "Signing Quorvane.exe"
    VERBATIM)
endif()

# The build's year, for the copyright of the exe, the setup and the uninstaller
# (SOURCE_DATE_EPOCH, when set, makes it reproducible).
string(TIMESTAMP QUORVANE_YEAR "%Y" UTC)
file(CONFIGURE OUTPUT ${QUORVANE_ART}/copyright.h
     CONTENT "#define QUORVANE_COPYRIGHT \"\\251 @QUORVANE_YEAR@ Vantorel\"\n" @ONLY)
set_property(SOURCE app/Quorvane.rc APPEND PROPERTY OBJECT_DEPENDS ${QUORVANE_ART}/copyright.h)

set(QUORVANE_DISPLAY_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
# Where winget fetches the shipped setup from.
set(QUORVANE_DOWNLOAD_URL "https://${QUORVANE_LINK_HOST}/download/QuorvaneSetup-${QUORVANE_DISPLAY_VERSION}.exe"
    CACHE STRING "Download address of the shipped setup, for the winget manifest")

# QuorvaneSetup-<version>.exe from EXE_TARGET into DIR, with its uninstaller beside it. The
# setup's own code is built for the exe's architecture; where it installs (32-bit Program Files,
# 32-bit registry view) is not. LINK_HOST is the maker's site in the Uninstall entry; TEST_SEAMS
# lets the tests answer what Wine cannot (whether the logon task exists).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QUORVANE_SETUP_TARGET amd64-unicode)
else()
  set(QUORVANE_SETUP_TARGET x86-unicode)
endif()
function(quorvane_setup exe_target dir link_host)
  cmake_parse_arguments(A "TEST_SEAMS" "" "" ${ARGN})
  set(out ${dir}/QuorvaneSetup-${QUORVANE_DISPLAY_VERSION}.exe)
  set(uninstaller ${dir}/Uninstall.exe)
  set(sign "")
  if(QUORVANE_SIGN_PFX AND exe_target STREQUAL "Quorvane")
    set(sign "-DSIGN=${QUORVANE_SIGN}" "-DSIGN_PFX=${QUORVANE_SIGN_PFX}"
             "-DSIGN_TIMESTAMP=${QUORVANE_SIGN_TIMESTAMP_URL}")
  endif()
  set(seams "")
  if(A_TEST_SEAMS)
    set(seams -DTEST_SEAMS)
  endif()
  set(common ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DTARGET=${QUORVANE_SETUP_TARGET} ${sign} ${seams}
             -DVERSION=${PROJECT_VERSION} -DDISPLAY_VERSION=${QUORVANE_DISPLAY_VERSION} -DYEAR=${QUORVANE_YEAR}
             -DICON=${QUORVANE_ART}/Quorvane.ico)
  set(sources ${CMAKE_SOURCE_DIR}/installer/Quorvane.nsi ${CMAKE_SOURCE_DIR}/installer/strings.nsh
              ${QUORVANE_ART}/Quorvane.ico)
  # First the uninstaller, with a version block of its own; the setup it comes in is thrown away.
  add_custom_command(
    OUTPUT ${uninstaller}
    COMMAND ${common} -DUNINSTALLER_OUT=${uninstaller} -DOUTFILE=${dir}/uninstaller-pass.exe
            ${CMAKE_SOURCE_DIR}/installer/Quorvane.nsi
    COMMAND ${CMAKE_COMMAND} -E rm -f ${dir}/uninstaller-pass.exe
    DEPENDS ${sources}
    COMMENT "Building ${uninstaller}"
    VERBATIM)
  set(after "")
  if(NOT A_TEST_SEAMS)
    # winget's manifests carry the finished (signed) setup's hash.
    set(after COMMAND ${CMAKE_COMMAND} -DSETUP=${out} -DOUT_DIR=${dir}/winget
              -DVERSION=${QUORVANE_DISPLAY_VERSION} -DURL=${QUORVANE_DOWNLOAD_URL}
              -DHOMEPAGE_HOST=${link_host} -DYEAR=${QUORVANE_YEAR} -P ${CMAKE_SOURCE_DIR}/cmake/winget.cmake)
  endif()
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${common} -DEXE=$<TARGET_FILE:${exe_target}> -DUNINSTALLER=${uninstaller} -DOUTFILE=${out}
            -DWIZARD=${QUORVANE_ART}/wizard.bmp -DHOMEPAGE=https://${link_host}/
            ${CMAKE_SOURCE_DIR}/installer/Quorvane.nsi
    ${after}
    DEPENDS ${exe_target} ${uninstaller} ${sources} ${QUORVANE_ART}/wizard.bmp ${CMAKE_SOURCE_DIR}/cmake/winget.cmake
    COMMENT "Building ${out}"
    VERBATIM)
  add_custom_target(${exe_target}Setup ALL DEPENDS ${out})
endfunction()

# The shipped setup exists only where the exe is the shipped 32-bit one; every cross build makes
# the test build's setup, which the end-to-end tests install.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  quorvane_setup(Quorvane ${CMAKE_BINARY_DIR} ${QUORVANE_LINK_HOST})
endif()
quorvane_setup(QuorvaneLoopback ${CMAKE_BINARY_DIR}/loopback ${QUORVANE_TEST_LINK_HOST} TEST_SEAMS)
