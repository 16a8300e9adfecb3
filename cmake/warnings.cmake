# One place for warnings, code size and sanitizers; every target of ours calls it.

# Optimised builds favour small code: the editor's start-up time and memory
# follow the size of its code more than its speed, and -Os halves it. The
# per-byte paths (file decoding and SysEx collection in the driver and the
# toolkit) keep the speed flags through kestrow_fast_code. Unused functions
# are dropped at link time.
option(KESTROW_SMALL_CODE "Optimise for size, except the per-byte paths" ON)
if(KESTROW_FUZZ OR KESTROW_SANITIZE)
    # Checking builds want executions per second, not a small program.
    set(KESTROW_SMALL_CODE OFF)
endif()
set(KESTROW_OPTIMISED_CONFIGS Release,RelWithDebInfo)
if(KESTROW_SMALL_CODE)
    add_link_options($<$<CONFIG:${KESTROW_OPTIMISED_CONFIGS}>:LINKER:--gc-sections>)
endif()

# The environment every sanitized program runs in, tests and build tools
# alike (NAME=VALUE items): undefined behaviour stops the program, and says
# how it got there.
set(KESTROW_SANITIZER_ENV)
if(KESTROW_SANITIZE)
    set(KESTROW_SANITIZER_ENV UBSAN_OPTIONS=print_stacktrace=1)
endif()

function(kestrow_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
    if(KESTROW_SMALL_CODE)
        target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections
            $<$<CONFIG:${KESTROW_OPTIMISED_CONFIGS}>:-Os>)
    endif()
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

# For the per-byte paths: optimised for speed even where the rest is small.
function(kestrow_fast_code target)
    if(KESTROW_SMALL_CODE)
        target_compile_options(${target} PRIVATE $<$<CONFIG:${KESTROW_OPTIMISED_CONFIGS}>:-O2>)
    endif()
endfunction()
