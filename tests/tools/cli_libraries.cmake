# Run by CTest: fails when appshuttle-cli (CLI) would make the loader bring
# in Qt Gui or what comes with it (DBus, X11, OpenGL, fonts). The command
# line links the app core, which needs Qt Core only. The whole set the
# loader resolves is checked, not only the binary's own entries, and Qt
# Core must be among it, so a binary that could not be read does not pass.
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${CLI}"
  RESOLVED_DEPENDENCIES_VAR resolved UNRESOLVED_DEPENDENCIES_VAR unresolved)
set(core FALSE)
set(gui "")
foreach(library IN LISTS resolved unresolved)
  get_filename_component(name "${library}" NAME)
  if(name MATCHES "^libQt6Core\\.so")
    set(core TRUE)
  elseif(name MATCHES "^lib(Qt6(Gui|Widgets|DBus|OpenGL)|EGL|GL|GLX|OpenGL|X11|xcb|xkbcommon|fontconfig|freetype)[.-]")
    list(APPEND gui "${name}")
  endif()
endforeach()
if(NOT core)
  message(FATAL_ERROR "libQt6Core not among the libraries of ${CLI}: ${resolved}")
endif()
if(gui)
  message(FATAL_ERROR "${CLI} needs GUI libraries: ${gui}")
endif()
message(STATUS "appshuttle-cli needs no GUI library")
