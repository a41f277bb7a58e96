# Warnings on for the project's own targets.
function(qm_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wpointer-arith
                         -Wcast-qual -Wformat=2 -Wundef -Woverloaded-virtual)
endfunction()
