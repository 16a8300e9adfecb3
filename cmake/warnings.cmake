# One place for warnings and sanitizers; every target of ours calls it.
function(kestrow_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(KESTROW_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(KESTROW_FUZZ)
        # Coverage for the fuzzer and sanitizers in every target; UB stops the run.
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined,fuzzer-no-link
            -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    elseif(KESTROW_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()
