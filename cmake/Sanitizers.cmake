# AddressSanitizer and UndefinedBehaviorSanitizer for the whole tree; any report aborts the test.
set(zarnocrypt_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${zarnocrypt_sanitize_flags})
if(ZARNOCRYPT_FUZZ)
  # Coverage for libFuzzer in every library, not only in the targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
add_link_options(${zarnocrypt_sanitize_flags})
