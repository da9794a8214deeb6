# Turns one flat ODF memo template into a Word 97-2003 template with LibreOffice:
#   cmake -DSOFFICE_BIN=... -DSOURCE=x.fodt -DOUTPUT=x.dot -DPROFILE=dir -P ConvertTemplate.cmake
# soffice.bin runs directly, not through the soffice launcher, so that the time-out
# below ends the office process itself and nothing outlives a failed or stopped build.
# Its private profile keeps any office the user runs out of the conversion.
foreach(argument SOFFICE_BIN SOURCE OUTPUT PROFILE)
    if(NOT DEFINED ${argument})
        message(FATAL_ERROR "ConvertTemplate.cmake needs -D${argument}=...")
    endif()
endforeach()

get_filename_component(program_dir "${SOFFICE_BIN}" DIRECTORY)
set(ENV{URE_BOOTSTRAP} "vnd.sun.star.pathname:${program_dir}/fundamentalrc")

get_filename_component(name "${SOURCE}" NAME_WE)
set(stage "${PROFILE}-out")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")
string(REPLACE "%" "%25" profile_url "${PROFILE}")
string(REPLACE " " "%20" profile_url "${profile_url}")

# A new profile makes the first start ask for a restart (exit code 81); the next one converts.
foreach(attempt RANGE 1 3)
    execute_process(
        COMMAND "${SOFFICE_BIN}" --headless --invisible --nologo --norestore --nodefault
                --nolockcheck --nofirststartwizard
                "-env:UserInstallation=file://${profile_url}"
                --convert-to "dot:MS Word 97 Vorlage" --outdir "${stage}" "${SOURCE}"
        RESULT_VARIABLE result
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output
        TIMEOUT 300)
    if(NOT result STREQUAL "81")
        break()
    endif()
endforeach()

set(converted "${stage}/${name}.dot")
if(NOT result STREQUAL "0" OR NOT EXISTS "${converted}")
    message(FATAL_ERROR "LibreOffice could not convert ${SOURCE} to a Word template "
                        "(result: ${result}):\n${output}")
endif()
file(READ "${converted}" signature LIMIT 8 HEX)
if(NOT signature STREQUAL "d0cf11e0a1b11ae1")
    message(FATAL_ERROR "LibreOffice wrote ${converted}, which is not a Word 97-2003 file")
endif()
file(RENAME "${converted}" "${OUTPUT}")
file(REMOVE_RECURSE "${stage}")
