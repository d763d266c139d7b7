# Every target of ours compiles with the same strict warning set.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow)
if(ZARNOCRYPT_WERROR)
  add_compile_options(-Werror)
endif()
