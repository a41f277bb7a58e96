qm_win_sources(dialog_frame.cpp log.cpp)
