# Turns one flat ODF memo template into a Word 97-2003 template with LibreOffice, and
# that template into its DOCX and ODT forms, as the office writes a memo of it in those
# formats:
#   cmake -DSOFFICE_BIN=... -DSOURCE=x.fodt -DOUTPUT=x.dot -DDOCX=x.docx -DODT=x.odt
#         -DPROFILE=dir -P ConvertTemplate.cmake
# soffice.bin runs directly, not through the soffice launcher, so that the time-out
# below ends the office process itself and nothing outlives a failed or stopped build.
# Its private profile keeps any office the user runs out of the conversion.
foreach(argument SOFFICE_BIN SOURCE OUTPUT DOCX ODT PROFILE)
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

# Converts `source` with the filter named, "<extension>:<filter>", into the stage folder;
# sets `converted` to the file written.
function(convert source filter)
    # A new profile makes the first start ask for a restart (exit code 81); the next one converts.
    foreach(attempt RANGE 1 3)
        execute_process(
            COMMAND "${SOFFICE_BIN}" --headless --invisible --nologo --norestore --nodefault
                    --nolockcheck --nofirststartwizard
                    "-env:UserInstallation=file://${profile_url}"
                    --convert-to "${filter}" --outdir "${stage}" "${source}"
            RESULT_VARIABLE result
            OUTPUT_VARIABLE output
            ERROR_VARIABLE output
            TIMEOUT 300)
        if(NOT result STREQUAL "81")
            break()
        endif()
    endforeach()
    string(REGEX REPLACE ":.*" "" extension "${filter}")
    set(written "${stage}/${name}.${extension}")
    if(NOT result STREQUAL "0" OR NOT EXISTS "${written}")
        message(FATAL_ERROR "LibreOffice could not convert ${source} with \"${filter}\" "
                            "(result: ${result}):\n${output}")
    endif()
    set(converted "${written}" PARENT_SCOPE)
endfunction()

# Checks that the file begins with the bytes given in hex, and puts it in place.
function(place file signature what destination)
    string(LENGTH "${signature}" length)
    math(EXPR length "${length} / 2")
    file(READ "${file}" found LIMIT ${length} HEX)
    if(NOT found STREQUAL signature)
        message(FATAL_ERROR "LibreOffice wrote ${file}, which is not ${what}")
    endif()
    file(RENAME "${file}" "${destination}")
endfunction()

convert("${SOURCE}" "dot:MS Word 97 Vorlage")
set(word_template "${stage}/template/${name}.dot")
file(MAKE_DIRECTORY "${stage}/template")
place("${converted}" "d0cf11e0a1b11ae1" "a Word 97-2003 file" "${word_template}")
# The filters the program's office uses for a memo in these formats.
convert("${word_template}" "docx:MS Word 2007 XML")
place("${converted}" "504b0304" "a DOCX package" "${DOCX}")
convert("${word_template}" "odt:writer8")
place("${converted}" "504b0304" "an ODT package" "${ODT}")
file(RENAME "${word_template}" "${OUTPUT}")
file(REMOVE_RECURSE "${stage}")
