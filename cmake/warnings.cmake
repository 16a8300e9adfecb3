# One place for warnings and sanitizers; every target of ours calls it.

# The environment every sanitized program runs in, tests and build tools
# alike (NAME=VALUE items): undefined behaviour stops the program, and says
# how it got there.
set(KESTROW_SANITIZER_ENV)
if(KESTROW_SANITIZE)
    set(KESTROW_SANITIZER_ENV UBSAN_OPTIONS=print_stacktrace=1)
endif()

function(kestrow_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
    if(KESTROW_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(KESTROW_FUZZ)
        # Coverage for the fuzzer and sanitizers in every target; UB stops the run.
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined,fuzzer-no-link
            -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    elseif(KESTROW_SANITIZE)
        # Undefined behaviour fails the program at once, like a crash.
        target_compile_options(${target} PRIVATE
            -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()
