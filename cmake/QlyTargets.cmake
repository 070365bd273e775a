# Helpers that give every target of ours the same warnings and definitions.

set(QLY_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
                 -Wmissing-declarations)
if(QLY_WERROR)
    list(APPEND QLY_WARNINGS -Werror)
endif()

# qly_target_defaults(target): warnings, and for Windows the ANSI API with a modern
# enough header set (the program speaks 8-bit text outside the shell's notify data).
function(qly_target_defaults target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:${QLY_WARNINGS}>
        $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra>)
    if(QLY_WINDOWS)
        target_compile_definitions(${target} PRIVATE
            WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0600)
    endif()
endfunction()

# qly_gui_executable(target sources...): a Windows GUI program (no console).
function(qly_gui_executable target)
    add_executable(${target} WIN32 ${ARGN})
    qly_target_defaults(${target})
endfunction()
