# SPDX-License-Identifier: GPL-3.0-or-later
# Warnings are errors on our own code; third-party headers come in as SYSTEM.
function(ostra_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
endfunction()

# A library of ours: warnings on, headers found from the repository root.
function(ostra_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  ostra_warnings(${target})
endfunction()
