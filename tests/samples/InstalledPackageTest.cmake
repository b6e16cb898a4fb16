# Installs the build tree into a scratch prefix and uses the result as a stranger would: a host
# configured with find_package(TavrinX), one compiled with pkg-config's flags, each searching a
# folder under a private bus whose only service directory is the prefix's.
# cmake -DBUILD_DIR=... -DWORK_DIR=... -DHOST_SOURCE=... -DCXX=... -P InstalledPackageTest.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(JOIN " " command ${ARGN})
    message(FATAL_ERROR "${command} failed (${rc}):\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(require_contains text part what)
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: expected to contain\n${part}\nbut it is\n${text}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The server under libexec, and an activation file that names that very server.
if(NOT EXISTS ${prefix}/libexec/sorvik)
  message(FATAL_ERROR "sorvik is not installed under ${prefix}/libexec")
endif()
file(READ ${prefix}/share/dbus-1/services/TavrinEXE.TavrinX.service service)
require_contains("${service}" "Exec=${prefix}/libexec/sorvik\n" "installed activation file")

# One shared library and its headers; nothing internal is installed or exported.
file(GLOB_RECURSE targets_file ${prefix}/*/TavrinXTargets.cmake)
file(READ ${targets_file} targets)
foreach(private tavrin_runtime tavrin_widgets tavrin_dialogs tavrin_settings tavrin_automation
        tavrin_propertypages tavrin_profile)
  string(FIND "${targets}" "${private}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the exported targets leak ${private}")
  endif()
endforeach()
file(GLOB_RECURSE archives ${prefix}/*.a)
if(archives)
  message(FATAL_ERROR "internal static libraries are installed: ${archives}")
endif()
if(NOT EXISTS ${prefix}/include/tavrinx/TavrinX.h)
  message(FATAL_ERROR "the headers are not installed under include/tavrinx")
endif()

# The library exports its public classes and nothing of the internal layers.
file(GLOB_RECURSE library ${prefix}/libtavrinx.so.1)
run(nm -D --defined-only -C ${library})
foreach(public "TavrinX::Grep()" "UserControlHost::" "PlatformError" "PropertyPageFrame::")
  require_contains("${output}" "${public}" "symbols of libtavrinx")
endforeach()
foreach(internal "SearchRelay::" "ResultsGrid::" "ResultsTableView::" "TavrinXProxy::" "IniDocument::")
  string(FIND "${output}" "${internal}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "libtavrinx exports ${internal}")
  endif()
endforeach()

# The installed headers declare nothing in the host's global namespace but the control's class
# and the namespace Tavrin that holds the rest (the export macros are macros): every header is
# compiled into one unit and the compiler's own record of its declarations is read.
file(GLOB_RECURSE pc_file ${prefix}/tavrinx.pc)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} pkg-config --cflags tavrinx)
separate_arguments(cflags UNIX_COMMAND "${output}")
file(GLOB headers ${prefix}/include/tavrinx/*.h)
set(unit "")
foreach(header IN LISTS headers)
  get_filename_component(name ${header} NAME)
  string(APPEND unit "#include <tavrinx/${name}>\n")
endforeach()
file(WRITE ${WORK_DIR}/all-headers.cpp "${unit}")
run(${CXX} -std=c++17 -fPIC -DQT_NO_KEYWORDS -fsyntax-only -fdump-lang-raw=${WORK_DIR}/all-headers.raw
    ${cflags} ${WORK_DIR}/all-headers.cpp)
find_program(PYTHON3 python3 REQUIRED)
run(${PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/global_names.py ${WORK_DIR}/all-headers.raw ${headers})
file(REMOVE ${WORK_DIR}/all-headers.raw)
string(REGEX REPLACE "[^\n]+ (TavrinX|Tavrin)\n" "" leaked "${output}")
if(leaked)
  message(FATAL_ERROR "the installed headers declare in the global namespace:\n${leaked}")
endif()

# Some data: two findings of "needle", one in a subfolder, none in the third file.
set(data ${WORK_DIR}/data)
file(WRITE ${data}/a.txt "alpha needle\nnothing\n")
file(WRITE ${data}/sub/b.txt "x\n  needle two\n")
file(WRITE ${data}/sub/c.md "hay\n")
set(expected "${data}/a.txt:1:7:alpha needle\n${data}/sub/b.txt:2:3:  needle two\n2 findings\n")

file(WRITE ${WORK_DIR}/bus.conf "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"
 \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <servicedir>${prefix}/share/dbus-1/services</servicedir>
  <policy context=\"default\">
    <allow send_destination=\"*\" eavesdrop=\"true\"/>
    <allow eavesdrop=\"true\"/>
    <allow own=\"*\"/>
  </policy>
</busconfig>
")

function(search_with host)
  run(${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${WORK_DIR}/config
      dbus-run-session --config-file=${WORK_DIR}/bus.conf -- ${host} ${data} needle)
  if(NOT output STREQUAL expected)
    message(FATAL_ERROR "${host} printed\n${output}\ninstead of\n${expected}")
  endif()
endfunction()

# find_package(TavrinX)
run(${CMAKE_COMMAND} -S ${HOST_SOURCE} -B ${WORK_DIR}/host -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/host -j2)
search_with(${WORK_DIR}/host/installed-host)

# pkg-config tavrinx
run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} pkg-config --cflags --libs tavrinx)
separate_arguments(flags UNIX_COMMAND "${output}")
get_filename_component(libdir ${pc_dir} DIRECTORY)
run(${CXX} -std=c++17 -fPIC -DQT_NO_KEYWORDS -Wall -Wextra -Werror ${HOST_SOURCE}/main.cpp ${flags} -Wl,-rpath,${libdir}
    -o ${WORK_DIR}/pc-host)
search_with(${WORK_DIR}/pc-host)
