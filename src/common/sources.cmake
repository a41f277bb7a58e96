qm_win_sources(log.cpp)
