# Fails when a source of the core includes a header of Qt's user-interface modules.
# Usage: cmake -DDIR=<core folder> -P CheckCoreLayer.cmake
file(GLOB_RECURSE sources "${DIR}/*.cpp" "${DIR}/*.h")
set(found "")
foreach(source ${sources})
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Qt(Gui|Widgets|Charts|Multimedia|OpenGL|OpenGLWidgets|PrintSupport|Svg|Quick|Qml)")
  if(lines)
    list(APPEND found "${source}: ${lines}")
  endif()
endforeach()
if(found)
  list(JOIN found "\n" text)
  message(FATAL_ERROR "The core must not include user-interface headers:\n${text}")
endif()
