qm_core_sources(path_text.cpp transfer_pace.cpp)
qm_win_sources(fdl.cpp path_helpers.cpp response_reader.cpp thread.cpp thread_exception.cpp)
