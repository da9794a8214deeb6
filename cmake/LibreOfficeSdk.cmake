# The LibreOffice UNO C++ SDK as the target LibreOffice::Uno. The C++
# headers of the UNO types are generated at build time from the installed office's
# type libraries, so they always match the office that runs.

set(LIBREOFFICE_PROGRAM_DIR /usr/lib/libreoffice/program CACHE PATH
    "The LibreOffice program folder (soffice.bin, types.rdb)")
set(LIBREOFFICE_SDK_DIR /usr/lib/libreoffice/sdk CACHE PATH "The LibreOffice SDK (cppumaker)")
set(LIBREOFFICE_INCLUDE_DIR /usr/include/libreoffice CACHE PATH "The UNO runtime headers")

find_program(LIBREOFFICE_CPPUMAKER cppumaker PATHS ${LIBREOFFICE_SDK_DIR}/bin NO_DEFAULT_PATH REQUIRED)
set(_lo_types ${LIBREOFFICE_PROGRAM_DIR}/types.rdb ${LIBREOFFICE_PROGRAM_DIR}/types/offapi.rdb)
foreach(_lo_file IN LISTS _lo_types)
    if(NOT EXISTS ${_lo_file})
        message(FATAL_ERROR "The UNO type library ${_lo_file} is missing: install libreoffice-writer-nogui")
    endif()
endforeach()
if(NOT EXISTS ${LIBREOFFICE_INCLUDE_DIR}/cppuhelper/bootstrap.hxx)
    message(FATAL_ERROR "The UNO headers are missing in ${LIBREOFFICE_INCLUDE_DIR}: install libreoffice-dev")
endif()

foreach(_lo_lib uno_cppu uno_cppuhelpergcc3 uno_sal)
    find_library(LIBREOFFICE_${_lo_lib} ${_lo_lib} PATHS ${LIBREOFFICE_SDK_DIR}/lib NO_DEFAULT_PATH REQUIRED)
    list(APPEND _lo_libraries ${LIBREOFFICE_${_lo_lib}})
endforeach()

# Every type (about a second): a list of only the types we use misses the ones
# that generated headers include in turn. cppumaker writes only to an absolute -O.
set(LIBREOFFICE_GENERATED_DIR ${CMAKE_BINARY_DIR}/uno-headers)
set(_lo_stamp ${LIBREOFFICE_GENERATED_DIR}/com/sun/star/frame/Desktop.hpp)
add_custom_command(
    OUTPUT ${_lo_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${LIBREOFFICE_GENERATED_DIR}
    COMMAND ${LIBREOFFICE_CPPUMAKER} -Gc -O ${LIBREOFFICE_GENERATED_DIR} ${_lo_types}
    DEPENDS ${_lo_types}
    COMMENT "Generating the UNO C++ headers"
    VERBATIM)
add_custom_target(libreoffice_uno_headers DEPENDS ${_lo_stamp})

add_library(libreoffice_uno INTERFACE)
add_library(LibreOffice::Uno ALIAS libreoffice_uno)
# SYSTEM: the generated and SDK headers are not ours to keep free of warnings.
target_include_directories(libreoffice_uno SYSTEM INTERFACE
    ${LIBREOFFICE_GENERATED_DIR} ${LIBREOFFICE_INCLUDE_DIR})
target_compile_definitions(libreoffice_uno INTERFACE LINUX UNX CPPU_ENV=gcc3)
target_link_libraries(libreoffice_uno INTERFACE ${_lo_libraries})
# The UNO runtime libraries are found where the office keeps them. Debian links the
# public ones into the multiarch folder too, but loaded through those links
# libuno_cppuhelpergcc3's $ORIGIN misses its private neighbours (libreglo.so,
# libunoidllo.so, libxmlreaderlo.so), so the program folder must be on the run path.
target_link_options(libreoffice_uno INTERFACE
    "LINKER:-rpath,${LIBREOFFICE_PROGRAM_DIR}" "LINKER:--enable-new-dtags")
add_dependencies(libreoffice_uno libreoffice_uno_headers)
