# Arrows point down: the front ends (app, console, cli) use the station, the record, the web and
# the service layers, never the dialog's folder from the headless side; the record and the
# station know no front end; widgets stay in the dialog and the console. Run as
# `cmake -DSOURCE_DIR=<top> -P checklayers.cmake`.
cmake_policy(SET CMP0057 NEW)
set(widgetInclude "#include <(QtWidgets|QWidget|QDialog|QMessageBox|QProgressBar|QTextEdit|QLabel|QLineEdit|QPushButton|QApplication)>")
set(faults "")

# `#include "folder/` of any of the folders named.
function(includeOf out)
    set(alternatives "")
    foreach(folder ${ARGN})
        list(APPEND alternatives "${folder}/")
    endforeach()
    string(REPLACE ";" "|" alternatives "${alternatives}")
    set(${out} "#include \"(${alternatives})" PARENT_SCOPE)
endfunction()

# Files allowed what their folder is not:
# - the link layer writes a unit's debug text into the text view its caller hands it (the
#   service console's), so one file of it knows QTextEdit;
# - ventaro-cli's entry makes a QApplication for the charts of `seclog --plot` only.
set(exempt src/link/debugmessage.cpp src/cli/main.cpp)

# Adds to `faults` every line of the folder's sources that matches `pattern`.
function(check folder pattern)
    file(GLOB_RECURSE files ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.cpp)
    foreach(file ${files})
        file(RELATIVE_PATH relative ${SOURCE_DIR} ${file})
        if(relative IN_LIST exempt)
            continue()
        endif()
        file(STRINGS ${file} lines REGEX "${pattern}")
        if(lines)
            list(APPEND faults "${file}: ${lines}")
        endif()
    endforeach()
    set(faults "${faults}" PARENT_SCOPE)
endfunction()

includeOf(frontEnds app console cli)
includeOf(headless cli station)
includeOf(dialog app)
includeOf(aboveWeb app console cli station record)
foreach(folder link device firmware values service record station web cli)
    check(${folder} "${widgetInclude}")
endforeach()
foreach(folder link device firmware values service record station)
    check(${folder} "${frontEnds}")
endforeach()
check(web "${aboveWeb}")
check(app "${headless}")
check(cli "${dialog}")
if(faults)
    string(REPLACE ";" "\n" text "${faults}")
    message(FATAL_ERROR "Includes across the layers:\n${text}")
endif()
