# The service layer is free of widgets, and the headless front end reaches the dialog's folder
# never: run as `cmake -DSOURCE_DIR=<top> -P checklayers.cmake`.
set(widgetInclude "#include <(QtWidgets|QWidget|QDialog|QMessageBox|QProgressBar|QTextEdit|QLabel|QLineEdit|QPushButton|QApplication)>")
set(appInclude "#include \"app/")
set(faults "")

# Adds to `faults` every line of the folder's sources that matches `pattern`.
function(check folder pattern)
    file(GLOB files ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.cpp)
    foreach(file ${files})
        file(STRINGS ${file} lines REGEX "${pattern}")
        if(lines)
            list(APPEND faults "${file}: ${lines}")
        endif()
    endforeach()
    set(faults "${faults}" PARENT_SCOPE)
endfunction()

check(service "${widgetInclude}|${appInclude}")
check(cli "${appInclude}")
if(faults)
    string(REPLACE ";" "\n" text "${faults}")
    message(FATAL_ERROR "Includes across the layers:\n${text}")
endif()
