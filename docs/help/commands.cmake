# Writes the command reference, help/commands.html beside the programs, from
# its hand-written template and the interpreter's command table
# (console/commands.inc), so that the reference lists exactly the commands the
# interpreter knows. It runs at configure time, again whenever either file
# changes: a cross build cannot run a program it has built.
set(COMMAND_TABLE ${PROJECT_SOURCE_DIR}/console/commands.inc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${COMMAND_TABLE})

# A C string literal's text as HTML.
function(command_table_html literal out)
    string(REPLACE "\\\"" "\"" text "${literal}")
    string(REPLACE "\\\\" "\\" text "${text}")
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(WINDOW_COMMAND_ROWS "")
set(INTERPRETER_COMMAND_ROWS "")
file(STRINGS ${COMMAND_TABLE} entries REGEX "^COMMAND\\(")
foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "^COMMAND\\(([A-Za-z]+), \"([^\"]+)\", [0-9]+, [A-Za-z0-9_]+, (.*)\\)$")
        message(FATAL_ERROR "${COMMAND_TABLE}: an entry that cannot be read: ${entry}")
    endif()
    set(kind ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    set(rest "${CMAKE_MATCH_3}")
    # The arguments, what it does and the example: three string literals.
    set(cells "")
    foreach(column arguments description example)
        if(NOT rest MATCHES "^\"(([^\"\\\\]|\\\\.)*)\"(, )?(.*)$")
            message(FATAL_ERROR "${COMMAND_TABLE}: no ${column} in the entry of ${name}")
        endif()
        set(rest "${CMAKE_MATCH_4}")
        command_table_html("${CMAKE_MATCH_1}" ${column})
    endforeach()
    if(arguments STREQUAL "")
        set(arguments "&ndash;")
    endif()
    if(kind STREQUAL "Comment")
        # Any word that begins with it.
        string(APPEND name "...")
    endif()
    command_table_html("${name}" name)
    set(row "<tr><td><code>${name}</code></td><td>${arguments}</td><td>${description}</td>")
    string(APPEND row "<td><code>${example}</code></td></tr>\n")
    if(kind STREQUAL "Window")
        string(APPEND WINDOW_COMMAND_ROWS "${row}")
    else()
        string(APPEND INTERPRETER_COMMAND_ROWS "${row}")
    endif()
endforeach()
string(STRIP "${WINDOW_COMMAND_ROWS}" WINDOW_COMMAND_ROWS)
string(STRIP "${INTERPRETER_COMMAND_ROWS}" INTERPRETER_COMMAND_ROWS)
configure_file(${CMAKE_CURRENT_LIST_DIR}/commands.html.in
               ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help/commands.html @ONLY)
