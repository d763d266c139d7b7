# AddressSanitizer and UndefinedBehaviorSanitizer for the whole tree; any report aborts the test.
set(zarnocrypt_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${zarnocrypt_sanitize_flags})
add_link_options(${zarnocrypt_sanitize_flags})
