# One warning policy for every target of the project.
function(brv_target_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
        -Woverloaded-virtual -Wformat=2 $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
    if(BRV_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
