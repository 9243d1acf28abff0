# SPDX-License-Identifier: GPL-3.0-or-later
if(OSTRA_SANITIZE)
  set(_flags -fsanitize=${OSTRA_SANITIZE} -fno-omit-frame-pointer -g)
  if(OSTRA_SANITIZE MATCHES "undefined")
    list(APPEND _flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_flags})
  add_link_options(-fsanitize=${OSTRA_SANITIZE})
endif()
