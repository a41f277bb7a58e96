qm_core_sources(site_address.cpp)
qm_win_sources(dialog_frame.cpp log.cpp)
