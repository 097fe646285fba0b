# One place for the warning policy, shared by the host and the mingw build.
add_compile_options(-Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
if(HZL_WERROR)
  add_compile_options(-Werror)
endif()
