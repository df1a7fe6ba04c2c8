# tolm_payload_rc(OUT_VAR NAME [STORE] [OMIT n...] [RAW n=file...] [BOOK dir])
#
# Adds a custom command that packs a book (TOLM_BOOK_DIR unless BOOK is given)
# and the uninstaller into payload entries with bookpack, and sets OUT_VAR to the
# resource script to add to an executable's sources:
#     tolm_payload_rc(rc main)
#     add_executable(TolmSetup WIN32 ... ${rc})
# STORE packs without compression, OMIT leaves entries out, RAW takes an entry's
# archive bytes verbatim from a file: payloads for tests of the installer's
# handling of missing and damaged entries. The script lands in
# ${CMAKE_CURRENT_BINARY_DIR}/payload-NAME/, so NAME must be unique per directory.
# Every book file is a dependency: editing a page and rebuilding repacks it.
function(tolm_payload_rc out_var name)
    cmake_parse_arguments(PARSE_ARGV 2 arg "STORE" "BOOK" "OMIT;RAW")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "tolm_payload_rc(${name}): unexpected arguments ${arg_UNPARSED_ARGUMENTS}")
    endif()
    set(book "${TOLM_BOOK_DIR}")
    if(arg_BOOK)
        get_filename_component(book "${arg_BOOK}" ABSOLUTE)
    endif()
    set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/payload-${name}")
    set(options "")
    set(raw_files "")
    if(arg_STORE)
        list(APPEND options --store)
    endif()
    foreach(entry IN LISTS arg_OMIT)
        list(APPEND options --omit ${entry})
    endforeach()
    foreach(raw IN LISTS arg_RAW)
        if(NOT raw MATCHES "^([0-9]+)=(.+)$")
            message(FATAL_ERROR "tolm_payload_rc(${name}): RAW ${raw} is not N=FILE")
        endif()
        get_filename_component(raw_file "${CMAKE_MATCH_2}" ABSOLUTE)
        list(APPEND options --raw "${CMAKE_MATCH_1}=${raw_file}")
        list(APPEND raw_files "${raw_file}")
    endforeach()
    file(GLOB_RECURSE book_files LIST_DIRECTORIES false CONFIGURE_DEPENDS "${book}/*")
    add_custom_command(
        OUTPUT "${out_dir}/payload.rc"
        COMMAND "${BOOKPACK}" pack ${options} "${book}" "$<TARGET_FILE:Kestrun>" "${out_dir}"
        DEPENDS ${book_files} "${book}/manifest.txt" ${raw_files} Kestrun "$<TARGET_FILE:Kestrun>" "${BOOKPACK}"
        COMMENT "Packing payload ${name} from ${book}"
        VERBATIM)
    set(${out_var} "${out_dir}/payload.rc" PARENT_SCOPE)
endfunction()
